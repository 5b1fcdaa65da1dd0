#pragma once

#include <QString>

#include <memory>

#include "platform/Platform.h"

// The program's settings in a configuration folder: the small values in
// <application>.ini, read and written by QSettings alone (one INI section per
// settings section), and the image list in <application>.list (ListFile.h).
// A settings file written by an earlier version holds the list as a value;
// whenever it does, that value is the list and is handed over to the list
// file.
//
// Every failure is error 75 naming the file and the reason: a file that
// exists but cannot be read (no permission, a folder or a FIFO in its place,
// a settings file larger than one can be), a read-only file (by its mode
// bits, which root respects too: it is the user's "do not change"), a write
// that fails (no room, a file size limit). A failed write leaves the old
// file whole and no scratch file behind.
class LinuxSettingsStore : public SettingsStore {
 public:
  explicit LinuxSettingsStore(QString folder);

  QString Read(const QString& application, const QString& section, const QString& key) override;
  // QSettings merges the value into what the file holds at that moment
  // (under its own lock file), so a value another program wrote survives.
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override;
  void ReadList(const QString& application, const QString& section, const QString& key,
                const std::function<bool(QStringView)>& visit) override;
  // Finds the name's line by its bytes and reads no name before it.
  void ReadListFrom(const QString& application, const QString& section, const QString& key,
                    const QString& name, const std::function<bool(QStringView)>& visit) override;
  // The list file is written anew through a scratch file renamed over it.
  void WriteList(const QString& application, const QString& section, const QString& key,
                 const StringList& names) override;
  // Proves that the settings file can be written now, room included.
  void CheckWritable(const QString& application) override;
  // A lock file beside the settings file, <application>.rotation.lock.
  std::shared_ptr<void> LockUpdates(const QString& application) override;

  QString SettingsPath(const QString& application) const;
  QString ListPath(const QString& application) const;

 private:
  // The checks before the settings file is written, with room for the file
  // and the bytes a write adds (CheckWritable).
  void PrepareWrite(const QString& path, qint64 added) const;
  // Writes the list file from the settings file's value, if it has one,
  // and only then removes the value; a failure leaves both as they were.
  void TakeOverOldList(const QString& application, const QString& section,
                       const QString& key) const;
  // Removes the settings file's value, if it has one.
  void RemoveOldList(const QString& application, const QString& section, const QString& key) const;

  QString folder_;
};
