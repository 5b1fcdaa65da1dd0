#pragma once

#include <QString>

#include <memory>
#include <mutex>

#include "platform/Platform.h"

// The program's settings as INI files, one per application name, in a
// configuration folder: <folder>/<application>.ini, one INI section per
// settings section.
class IniSettingsStore : public SettingsStore {
 public:
  explicit IniSettingsStore(QString folder);
  // Raises error 75 when something other than a regular file (a FIFO, a
  // folder) is in the settings file's place, instead of waiting on it.
  QString Read(const QString& application, const QString& section, const QString& key) override;
  void ReadInPieces(const QString& application, const QString& section, const QString& key,
                    const std::function<bool(QStringView)>& take) override;
  // Stores the value at once, changing no other value of the file, even one
  // that another program wrote since this one read the file. The file is
  // replaced atomically, so a write that fails leaves the previous file
  // whole; the failure is raised as error 75 naming the file and the reason
  // (the system's own text where there is one, such as a full disk). A link,
  // or a chain of them, stays: the file at its end is replaced. A read-only
  // file (by its mode bits) and anything but a regular file are refused.
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override;
  // The same for a value given in pieces, which is never held whole when
  // the file is in the plain form.
  void WriteInPieces(const QString& application, const QString& section, const QString& key,
                     const TextPieces& value) override;

  // Raises the error Write raises for a file that must not or cannot be
  // replaced (read-only, no regular file, an endless chain of links).
  void CheckWritable(const QString& application) override;

  QString FilePath(const QString& application) const;
  // The file path, after refusing anything but a regular file or none in
  // its place.
  QString CheckedPath(const QString& application) const;

  struct Snapshot;

 private:
  // The file's content as last read, kept while the file stays as it was:
  // a rotation reads two values and writes one, and looks at the bytes once.
  std::shared_ptr<const Snapshot> Load(const QString& file);
  void Replace(const QString& application, const QString& section, const QString& key,
               const TextPieces& value);

  QString folder_;
  // Reads may come from more than one thread (the window loads its list on
  // another one); a snapshot itself is never changed.
  std::mutex snapshotMutex_;
  std::shared_ptr<const Snapshot> snapshot_;
};
