#pragma once

#include "platform/Platform.h"

// The Windows platform's interfaces over the Win32 layer (win32/): each one
// converts between QString and std::wstring and turns the layer's Win32Error
// into the program's numbered error. Every Windows API call stays in the
// layer.

class WindowsSettings : public SettingsStore {
 public:
  QString Read(const QString& application, const QString& section, const QString& key) override;
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override;
};

class WindowsRegistry : public RegistryAccess {
 public:
  void RegWrite(const QString& path, const QString& value) override;
  void RegDelete(const QString& path) override;
};

class WindowsWallpaper : public WallpaperSetter {
 public:
  void Set(const QString& file) override;
};

class WindowsPatternListing : public PatternListing {
 public:
  QStringList Matches(const QString& pattern) override;
};

class WindowsProcessInfo : public ProcessInfo {
 public:
  QString CommandLineText() override;
  QString ExecutableName() override;
  QString ExecutablePath() override;
  bool HasInteractiveDisplay() override;
  void Trace(const QString& line) override;
};
