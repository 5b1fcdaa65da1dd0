#include "platform/linux/IniSettingsStore.h"

#include <QDir>
#include <QSaveFile>
#include <QStringList>

#include "errors/ProgramError.h"

namespace {

constexpr char kWriteFailed[] =
    "Path/File access error: the settings could not be stored in %1 (%2)";
constexpr char kFolderNotCreated[] = "its folder cannot be created";
constexpr char kFileNotReplaced[] = "the file cannot be replaced";

QString SettingsKey(const QString& section, const QString& key) {
  return section + QLatin1Char('/') + key;
}

// QSettings reports only that a write failed. Trying the same atomic write
// once more tells the user why (permission, full disk, a folder in the way).
QString WriteFailureReason(const QString& path) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    return QString::fromLatin1(kFolderNotCreated);
  }
  QSaveFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
  probe.cancelWriting();
  return QString::fromLatin1(kFileNotReplaced);
}

}  // namespace

IniSettingsStore::IniSettingsStore(QString folder) : folder_(std::move(folder)) {}

QString IniSettingsStore::FilePath(const QString& application) const {
  return folder_ + QLatin1Char('/') + application + QStringLiteral(".ini");
}

QSettings& IniSettingsStore::File(const QString& application) {
  auto& settings = files_[application];
  if (!settings) {
    settings = std::make_unique<QSettings>(FilePath(application), QSettings::IniFormat);
  }
  return *settings;
}

QString IniSettingsStore::Read(const QString& application, const QString& section,
                               const QString& key) {
  const QVariant value = File(application).value(SettingsKey(section, key));
  // An unquoted value holding commas, as a hand-edited file may have, comes
  // back from QSettings as a list; joining it keeps the text instead of
  // losing it.
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(QStringLiteral(", "));
  }
  return value.toString();
}

void IniSettingsStore::Write(const QString& application, const QString& section, const QString& key,
                             const QString& value) {
  QSettings& settings = File(application);
  settings.setValue(SettingsKey(section, key), value);
  settings.sync();
  if (settings.status() == QSettings::NoError) return;
  const QString path = FilePath(application);
  throw ProgramError(kErrPathFileAccess, QStringLiteral("ZVistaro02"),
                     QString::fromLatin1(kWriteFailed).arg(path, WriteFailureReason(path)));
}
