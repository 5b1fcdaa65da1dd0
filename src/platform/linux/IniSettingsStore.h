#pragma once

#include <QSettings>
#include <QString>

#include <map>
#include <memory>

#include "platform/Platform.h"

// The program's settings as INI files, one per application name, in a
// configuration folder: <folder>/<application>.ini, one INI section per
// settings section.
class IniSettingsStore : public SettingsStore {
 public:
  explicit IniSettingsStore(QString folder);
  QString Read(const QString& application, const QString& section, const QString& key) override;
  // Stores the value at once. QSettings replaces the file atomically, so a
  // write that fails leaves the previous file whole; the failure is raised
  // as error 75 naming the file and the reason.
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override;

  QString FilePath(const QString& application) const;

 private:
  QSettings& File(const QString& application);

  QString folder_;
  std::map<QString, std::unique_ptr<QSettings>> files_;
};
