#include "platform/linux/IniSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "errors/ProgramError.h"
#include "platform/linux/IniText.h"

namespace {

constexpr char kWriteFailed[] =
    "Path/File access error: the settings could not be stored in %1 (%2)";
constexpr char kFolderNotCreated[] = "its folder cannot be created";
constexpr char kFileNotReplaced[] = "the file cannot be replaced";
constexpr char kNotWrittenInFull[] = "the new file could not be written in full";
constexpr char kLockTimedOut[] = "another program kept it locked";

// How long a write waits for another program's write of the same file.
constexpr int kLockWaitMs = 10000;

QString SettingsKey(const QString& section, const QString& key) {
  return section + QLatin1Char('/') + key;
}

[[noreturn]] void Fail(const QString& path, const QString& reason) {
  throw ProgramError(kErrPathFileAccess, QStringLiteral("ZVistaro02"),
                     QString::fromLatin1(kWriteFailed).arg(path, reason));
}

// Why nothing can be created beside the file (permission, a folder in the
// way), found by trying the same atomic write once.
QString CreateFailureReason(const QString& path) {
  QSaveFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
  probe.cancelWriting();
  return QString::fromLatin1(kFileNotReplaced);
}

using Values = std::map<QString, QVariant>;

Values ReadValues(const QString& file) {
  QSettings settings(file, QSettings::IniFormat);
  Values values;
  // A damaged file can hold a line without a key, which no value is under.
  for (const QString& key : settings.allKeys()) {
    if (!key.isEmpty()) values[key] = settings.value(key);
  }
  return values;
}

// The current file's bytes and permissions (none counts as empty).
QByteArray ReadCurrent(const QString& path, QFileDevice::Permissions& permissions) {
  permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
  if (!QFileInfo::exists(path)) return {};
  permissions = QFileInfo(path).permissions();
  QFile current(path);
  if (!QFileInfo(path).isFile() || !current.open(QIODevice::ReadOnly)) {
    Fail(path, QString::fromLatin1(kFileNotReplaced));
  }
  const QByteArray content = current.readAll();
  if (current.error() != QFileDevice::NoError) Fail(path, current.errorString());
  return content;
}

// Whether the file holds exactly the content, read in pieces so that a
// large stored list is not held twice.
bool HoldsExactly(QFile& file, const QByteArray& content) {
  constexpr qint64 kPiece = 1 << 16;
  if (file.size() != content.size()) return false;
  const QByteArrayView expected(content);
  for (qsizetype pos = 0; pos < expected.size(); pos += kPiece) {
    const QByteArray piece = file.read(kPiece);
    if (piece.isEmpty() || piece != expected.sliced(pos, piece.size())) return false;
  }
  return file.atEnd();
}

// Writes the scratch file and reads it back: a short write (a full disk, a
// file size limit) fails here, before the current file is touched.
void WriteScratch(const QString& path, const QString& scratch, const QByteArray& content,
                  QFileDevice::Permissions permissions) {
  QFile copy(scratch);
  if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) Fail(path, copy.errorString());
  copy.setPermissions(permissions);
  if (copy.write(content) != content.size() || !copy.flush() || ::fdatasync(copy.handle()) != 0) {
    const QString reason = copy.errorString();
    copy.close();
    Fail(path, reason);
  }
  copy.close();
  if (!copy.open(QIODevice::ReadOnly) || !HoldsExactly(copy, content)) {
    Fail(path, QString::fromLatin1(kNotWrittenInFull));
  }
}

timespec ModificationTime(const QString& file) {
  struct stat status {};
  if (::stat(QFile::encodeName(file).constData(), &status) != 0) return {};
  return status.st_mtim;
}

// QSettings rereads a file only when its size or modification time changed,
// and it compares times to the millisecond: two writes within one
// millisecond can leave both as they were, and every reader of the first
// would keep it. So a file that takes the place of another is always dated
// at least one millisecond after it.
qint64 Milliseconds(const timespec& time) {
  return qint64{time.tv_sec} * 1000 + time.tv_nsec / 1000000;
}

void DateLaterThan(const QString& file, const timespec& earlier) {
  const qint64 next = Milliseconds(earlier) + 1;
  if (Milliseconds(ModificationTime(file)) >= next) return;
  const timespec later{static_cast<time_t>(next / 1000), static_cast<long>(next % 1000) * 1000000};
  const timespec times[2] = {{0, UTIME_OMIT}, later};
  ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0);
}

}  // namespace

IniSettingsStore::IniSettingsStore(QString folder) : folder_(std::move(folder)) {}

QString IniSettingsStore::FilePath(const QString& application) const {
  return folder_ + QLatin1Char('/') + application + QStringLiteral(".ini");
}

QString IniSettingsStore::Read(const QString& application, const QString& section,
                               const QString& key) {
  // A fresh reader each time: another program may have changed the file.
  const QVariant value =
      QSettings(FilePath(application), QSettings::IniFormat).value(SettingsKey(section, key));
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
  const QString path = FilePath(application);
  if (!QDir().mkpath(folder_)) Fail(path, QString::fromLatin1(kFolderNotCreated));
  // The lock file QSettings itself uses, so that a write of another program
  // never falls between reading the current file and replacing it.
  QLockFile lock(path + QStringLiteral(".lock"));
  if (!lock.tryLock(kLockWaitMs)) {
    Fail(path, lock.error() == QLockFile::LockFailedError ? QString::fromLatin1(kLockTimedOut)
                                                          : CreateFailureReason(path));
  }
  // A settings file that is a link to one kept elsewhere stays a link: the
  // file it points to is the one replaced.
  const QFileInfo info(path);
  const QString target = info.isSymLink() ? info.symLinkTarget() : path;
  const QString scratch = target + QStringLiteral(".new-") + QString::number(::getpid());
  QFile::remove(scratch);
  try {
    ReplaceWithScratch(target, scratch, section, key, value);
  } catch (...) {
    QFile::remove(scratch);
    throw;
  }
}

// A file in any other form (edited by hand, damaged) is copied, given the
// value by QSettings itself, and checked to hold every value it held before
// besides the new one.
void IniSettingsStore::RewriteThroughQSettings(const QString& path, const QString& scratch,
                                               const QByteArray& current,
                                               QFileDevice::Permissions permissions,
                                               const QString& settingsKey, const QString& value) {
  WriteScratch(path, scratch, current, permissions);
  Values expected = ReadValues(scratch);
  expected[settingsKey] = value;
  {
    QSettings settings(scratch, QSettings::IniFormat);
    settings.setValue(settingsKey, value);
    settings.sync();
    if (settings.status() == QSettings::AccessError) Fail(path, CreateFailureReason(scratch));
  }
  if (ReadValues(scratch) != expected) Fail(path, QString::fromLatin1(kNotWrittenInFull));
}

// The new file is the current one with only this value changed, made
// beside it and checked to hold every byte before it is renamed over it, so
// a write that fails never leaves a cut-off file. Only the one line changes:
// a stored list of 100,000 names is copied, not parsed and written anew.
void IniSettingsStore::ReplaceWithScratch(const QString& path, const QString& scratch,
                                          const QString& section, const QString& key,
                                          const QString& value) {
  // The scratch file of this process's previous write, as QSettings knew it.
  static timespec previousScratch{};
  QFileDevice::Permissions permissions;
  QByteArray current = ReadCurrent(path, permissions);
  if (IsPlainIni(current)) {
    const QByteArray updated = SetIniValue(std::exchange(current, {}), section, key, value);
    WriteScratch(path, scratch, updated, permissions);
  } else {
    RewriteThroughQSettings(path, scratch, current, permissions, SettingsKey(section, key), value);
  }
  DateLaterThan(scratch, previousScratch);
  DateLaterThan(scratch, ModificationTime(path));
  previousScratch = ModificationTime(scratch);
  if (std::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(path).constData()) !=
      0) {
    Fail(path, QString::fromLocal8Bit(std::strerror(errno)));
  }
}
