#pragma once

#include <QString>

#include "platform/Platform.h"

// The logon entry as an XDG autostart file, <autostart folder>/
// Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop, with Type=Application,
// Name=Zorvane Vistaro 0.2 Wallpaper Rotation and Exec= the program and its
// arguments, each quoted by the desktop-entry rules.
//
// The program goes into Exec by its bare name when a PATH lookup finds it;
// otherwise by a link of its own, <link folder>/ZVistaro02, pointing at the
// executable. A folder name can hold what no Exec line carries safely (a
// "%", which GLib's launchers refuse even written "%%", or bytes that are no
// UTF-8); the link's path needs no such care, and the link is made from the
// executable's path as the kernel gives it, byte for byte.
class AutostartEntry : public LogonEntry {
 public:
  // autostartFolder: normally $XDG_CONFIG_HOME/autostart; linkFolder:
  // normally $XDG_DATA_HOME/ZVistaro02.
  AutostartEntry(QString autostartFolder, QString linkFolder, ProcessInfo& process);
  // Confirms with the file's path and its Exec line.
  QString Write(const QString& arguments) override;
  // Deletes the entry, and the program's link with it.
  void Remove() override;

  QString File() const;
  // Writes the entry with this command line, split by the program's
  // command-line rules; returns its Exec line. A command line holding a
  // control character is refused and writes nothing.
  QString WriteCommandLine(const QString& commandLine);

 private:
  // How Exec names the program: its bare name or the link, made now.
  QString Program();
  // The link serves the entry alone: it goes when the entry no longer
  // names it.
  void RemoveLink() const;

  QString autostartFolder_;
  QString linkFolder_;
  ProcessInfo& process_;
};

// The Exec line for a command line split by the program's command-line rules:
// arguments holding reserved characters in double quotes with a backslash
// before " ` $ and \, every % written %%, an empty argument as "".
QString DesktopExecLine(const QString& commandLine);
