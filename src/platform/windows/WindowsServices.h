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

// The logon entry as the string value LogonEntry::kName under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run, whose data
// is the program (its bare name when a PATH lookup finds it, else its path,
// quoted when it holds a blank) and the arguments; the confirmation is the
// value's full path, "\" and the data.
class WindowsLogonEntry : public LogonEntry {
 public:
  explicit WindowsLogonEntry(ProcessInfo& process);
  QString Write(const QString& arguments) override;
  void Remove() override;

 private:
  ProcessInfo& process_;
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
