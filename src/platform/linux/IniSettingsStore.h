#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include "platform/Platform.h"

// The program's settings as INI files, one per application name, in a
// configuration folder: <folder>/<application>.ini, one INI section per
// settings section.
class IniSettingsStore : public SettingsStore {
 public:
  explicit IniSettingsStore(QString folder);
  QString Read(const QString& application, const QString& section, const QString& key) override;
  // Stores the value at once, changing no other value of the file, even one
  // that another program wrote since this one read the file. The file is
  // replaced atomically, so a write that fails leaves the previous file
  // whole; the failure is raised as error 75 naming the file and the reason.
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override;

  QString FilePath(const QString& application) const;

 private:
  static void RewriteThroughQSettings(const QString& path, const QString& scratch,
                                      const QByteArray& current,
                                      QFileDevice::Permissions permissions,
                                      const QString& settingsKey, const QString& value);
  static void ReplaceWithScratch(const QString& path, const QString& scratch,
                                 const QString& section, const QString& key, const QString& value);

  QString folder_;
};
