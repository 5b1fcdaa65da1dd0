#pragma once

#include <QString>

#include "platform/Platform.h"

// The logon entries of the Run key, kept as XDG autostart entries: the path
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run\<Name>
// (HKCU\... too, letter case ignored as the registry does) is the file
// <folder>/<Name, every character outside A-Z a-z 0-9 . _ - replaced by ->.desktop
// with Type=Application, Name=<Name> and Exec=<the value>. The value is a
// command line; each of its arguments is quoted by the desktop-entry rules.
class AutostartRegistry : public RegistryAccess {
 public:
  // folder: the autostart folder, normally $XDG_CONFIG_HOME/autostart.
  explicit AutostartRegistry(QString folder);
  void RegWrite(const QString& path, const QString& value) override;
  void RegDelete(const QString& path) override;

  // The entry file for a registry path; raises an error for any path that
  // is not a value of the current user's Run key.
  QString EntryFile(const QString& path) const;

 private:
  QString folder_;
};

// The Exec line for a command line split by the program's command-line rules:
// arguments holding reserved characters in double quotes with a backslash
// before " ` $ and \, every % written %%, an empty argument as "".
QString DesktopExecLine(const QString& commandLine);
