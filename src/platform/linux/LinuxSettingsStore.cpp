#include "platform/linux/LinuxSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "errors/Errors.h"
#include "kit/ProgramError.h"
#include "platform/linux/ListFile.h"

namespace {

constexpr char kWriteFailed[] =
    "Path/File access error: the settings could not be stored in %1 (%2)";
constexpr char kReadFailed[] =
    "Path/File access error: the settings could not be read from %1 (%2)";
constexpr char kWriteAdvice[] =
    "the settings stay as they were; check that %1 and its folder can be written and that the "
    "disk has room, then try again";
constexpr char kReadAdvice[] =
    "nothing was changed; check that %1 is a file you can read, or move it away to start "
    "afresh";
constexpr char kFolderNotCreated[] = "its folder cannot be created";
constexpr char kNotAFile[] = "it is not a regular file; move it away or replace it with one";
constexpr char kReadOnly[] = "the file is read-only; allow writing to it to store settings";
constexpr char kTooLarge[] =
    "at %1 bytes it is larger than a settings file can be; move it away or delete it";
constexpr char kLineTooLong[] = "it holds a line longer than any file name; it is no image list";
constexpr char kNotReplaced[] = "the new file could not be put in its place";
constexpr char kLocked[] = "another rotation kept %1 locked";

// The list file is read and written a piece at a time: large enough that
// the calls cost nothing beside the bytes, small enough to hold.
constexpr qsizetype kPiece = qsizetype{1} << 20;
// The small values take a few hundred bytes, but an earlier version kept
// the whole list in the settings file, about 50 MB for a million names.
// QSettings reads a file whole and holds it several times over: a larger
// file (a sparse file of gigabytes) would cost gigabytes for nothing.
constexpr qint64 kLargestSettingsFile = qint64{64} << 20;
// What a write of the settings file may add beyond the value: its key and
// the line around it; and a value of unknown size (a file name) in all.
constexpr qint64 kRoomForAKey = qint64{1} << 10;
constexpr qint64 kRoomForAValue = qint64{32} << 10;
// QSettings writes a character as up to six bytes ("\x" and four digits).
constexpr qint64 kLargestEscape = 6;
// How long a rotation waits for another one to end.
constexpr int kLockWaitMs = 30000;

QString OsReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The report line says what failed and why; the cause line what is left
// and what the user can do.
[[noreturn]] void Fail(const char* text, const QString& path, const QString& reason) {
  const bool writing = text == kWriteFailed;
  throw ProgramError(kErrPathFileAccess, QLatin1String(modMain::kProjectName),
                     QString::fromLatin1(text).arg(path, reason),
                     QString::fromLatin1(writing ? kWriteAdvice : kReadAdvice).arg(path));
}

QString SettingsKey(const QString& section, const QString& key) {
  return section + QLatin1Char('/') + key;
}

// Raises the error that reading the file would meet; no file is none: it
// reads as empty. Reading a FIFO in its place would wait for a writer
// forever, and replacing a folder would lose it.
void CheckReadable(const QString& path, qint64 largest) {
  const QByteArray name = QFile::encodeName(path);
  struct stat status {};
  if (::stat(name.constData(), &status) != 0) {
    if (errno == ENOENT) return;
    Fail(kReadFailed, path, OsReason(errno));
  }
  if (!S_ISREG(status.st_mode)) Fail(kReadFailed, path, QString::fromLatin1(kNotAFile));
  if (status.st_size > largest) {
    Fail(kReadFailed, path, QString::fromLatin1(kTooLarge).arg(status.st_size));
  }
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail(kReadFailed, path, OsReason(errno));
  ::close(fd);
}

// Raises the error before a file is replaced that it must not be: one that
// cannot be read (what was not read must not be lost) or is read-only.
void CheckReplaceable(const QString& path, qint64 largest) {
  CheckReadable(path, largest);
  struct stat status {};
  if (::stat(QFile::encodeName(path).constData(), &status) == 0 &&
      (status.st_mode & S_IWUSR) == 0) {
    Fail(kWriteFailed, path, QString::fromLatin1(kReadOnly));
  }
}

qint64 FileSize(const QString& path) {
  struct stat status {};
  return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_size : 0;
}

// Writes all bytes; false with errno set when the system refused some (a
// full disk, a file size limit: SIGXFSZ is ignored, so the write returns
// its error instead of ending the program).
bool WriteAll(int fd, QByteArrayView bytes) {
  while (!bytes.isEmpty()) {
    const ssize_t written = ::write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.sliced(written);
  }
  return true;
}

// Proves that a file of the given size can be written beside the file now:
// a scratch file of that size, named uniquely, is written and removed. The
// reason it fails is the system's own (no permission, a full disk, a file
// size limit). QSettings needs this: Qt's QSaveFile renames a file cut off
// by a full disk over the old one and reports success.
void ProveRoom(const QString& path, qint64 size) {
  QTemporaryFile scratch(path + QStringLiteral(".XXXXXX"));
  if (!scratch.open()) Fail(kWriteFailed, path, scratch.errorString());
  const QByteArray zeros(static_cast<qsizetype>(std::min<qint64>(size, kPiece)), '\0');
  for (qint64 left = size; left > 0; left -= zeros.size()) {
    const auto part = static_cast<qsizetype>(std::min<qint64>(left, zeros.size()));
    if (!WriteAll(scratch.handle(), QByteArrayView(zeros).first(part))) {
      Fail(kWriteFailed, path, OsReason(errno));
    }
  }
}

// Writes the list file anew with the names forEachName hands over, through
// a scratch file that is renamed over it once it is written in full.
void WriteListFile(
    const QString& path,
    const std::function<void(const std::function<void(QStringView)>&)>& forEachName) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) Fail(kWriteFailed, path, file.errorString());
  QByteArray piece;
  piece.reserve(2 * kPiece);
  int error = 0;
  const auto put = [&file, &piece, &error] {
    if (error == 0 && !WriteAll(file.handle(), piece)) error = errno;
    piece.truncate(0);
  };
  forEachName([&piece, &put](QStringView name) {
    AppendListLine(piece, name);
    if (piece.size() >= kPiece) put();
  });
  put();
  if (error != 0) {
    file.cancelWriting();
    Fail(kWriteFailed, path, OsReason(error));
  }
  if (!file.commit()) Fail(kWriteFailed, path, file.errorString());
}

// Hands visit the list file's lines; no file has none.
void ReadLines(const QString& path, const std::function<bool(QByteArrayView)>& visit) {
  CheckReadable(path, std::numeric_limits<qint64>::max());
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
    if (!file.exists()) return;
    Fail(kReadFailed, path, file.errorString());
  }
  if (!ForEachLine(file, kPiece, visit)) {
    Fail(kReadFailed, path,
         file.error() != QFileDevice::NoError ? file.errorString()
                                              : QString::fromLatin1(kLineTooLong));
  }
}

// The value an earlier version stored the list under, as that version read
// it: a value QSettings gives back as a list (commas in a hand-edited file)
// is joined again.
QString OldListText(const QSettings& settings, const QString& settingsKey) {
  const QVariant value = settings.value(settingsKey);
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(QStringLiteral(", "));
  }
  return value.toString();
}

}  // namespace

LinuxSettingsStore::LinuxSettingsStore(QString folder) : folder_(std::move(folder)) {}

QString LinuxSettingsStore::SettingsPath(const QString& application) const {
  return folder_ + QLatin1Char('/') + application + QStringLiteral(".ini");
}

QString LinuxSettingsStore::ListPath(const QString& application) const {
  return folder_ + QLatin1Char('/') + application + QStringLiteral(".list");
}

QString LinuxSettingsStore::Read(const QString& application, const QString& section,
                                 const QString& key) {
  const QString path = SettingsPath(application);
  CheckReadable(path, kLargestSettingsFile);
  return OldListText(QSettings(path, QSettings::IniFormat), SettingsKey(section, key));
}

void LinuxSettingsStore::Write(const QString& application, const QString& section,
                               const QString& key, const QString& value) {
  const QString path = SettingsPath(application);
  PrepareWrite(path, kRoomForAKey + kLargestEscape * (key.size() + value.size()));
  QSettings settings(path, QSettings::IniFormat);
  settings.setValue(SettingsKey(section, key), value);
  settings.sync();
  // A format error only says that a hand-edited file held lines QSettings
  // could not read; what it could read was written back.
  if (settings.status() == QSettings::AccessError) {
    Fail(kWriteFailed, path, QString::fromLatin1(kNotReplaced));
  }
}

void LinuxSettingsStore::ReadList(const QString& application, const QString& section,
                                  const QString& key,
                                  const std::function<bool(QStringView)>& visit) {
  TakeOverOldList(application, section, key);
  QString name;
  ReadLines(ListPath(application),
            [&](QByteArrayView line) { return !ListName(line, name) || visit(name); });
}

void LinuxSettingsStore::ReadListFrom(const QString& application, const QString& section,
                                      const QString& key, const QString& name,
                                      const std::function<bool(QStringView)>& visit) {
  TakeOverOldList(application, section, key);
  ListLineMatcher matcher(name);
  bool found = false;
  QString scratch;
  ReadLines(ListPath(application), [&](QByteArrayView line) {
    if (found) return !ListName(line, scratch) || visit(scratch);
    found = matcher.Matches(line);
    return !found || visit(name);
  });
}

void LinuxSettingsStore::WriteList(const QString& application, const QString& section,
                                   const QString& key, const StringList& names) {
  const QString path = ListPath(application);
  if (!QDir().mkpath(folder_)) Fail(kWriteFailed, path, QString::fromLatin1(kFolderNotCreated));
  CheckReplaceable(path, std::numeric_limits<qint64>::max());
  WriteListFile(path, [&names](const auto& take) {
    for (int i = 1; i <= names.Count(); ++i) take(names.Item(i));
  });
  // A list an earlier version wrote into the settings file since would take
  // this one's place at the next start.
  RemoveOldList(application, section, key);
}

void LinuxSettingsStore::CheckWritable(const QString& application) {
  PrepareWrite(SettingsPath(application), kRoomForAValue);
}

std::shared_ptr<void> LinuxSettingsStore::LockUpdates(const QString& application) {
  const QString path = SettingsPath(application);
  if (!QDir().mkpath(folder_)) Fail(kWriteFailed, path, QString::fromLatin1(kFolderNotCreated));
  const QString lockPath =
      folder_ + QLatin1Char('/') + application + QStringLiteral(".rotation.lock");
  auto lock = std::make_shared<QLockFile>(lockPath);
  // Only a lock whose process has ended is taken over, however old it is.
  lock->setStaleLockTime(0);
  if (lock->tryLock(kLockWaitMs)) return lock;
  if (lock->error() == QLockFile::LockFailedError) {
    Fail(kWriteFailed, path, QString::fromLatin1(kLocked).arg(lockPath));
  }
  // No lock file can be made beside the settings file: neither can the
  // settings file be written.
  Fail(kWriteFailed, path,
       lock->error() == QLockFile::PermissionError ? OsReason(EACCES)
                                                   : QString::fromLatin1(kNotReplaced));
}

void LinuxSettingsStore::PrepareWrite(const QString& path, qint64 added) const {
  if (!QDir().mkpath(folder_)) Fail(kWriteFailed, path, QString::fromLatin1(kFolderNotCreated));
  CheckReplaceable(path, kLargestSettingsFile);
  ProveRoom(path, FileSize(path) + added);
}

void LinuxSettingsStore::TakeOverOldList(const QString& application, const QString& section,
                                         const QString& key) const {
  const QString settingsPath = SettingsPath(application);
  CheckReadable(settingsPath, kLargestSettingsFile);
  const QString settingsKey = SettingsKey(section, key);
  QString text;
  {
    const QSettings settings(settingsPath, QSettings::IniFormat);
    if (!settings.contains(settingsKey)) return;
    text = OldListText(settings, settingsKey);
  }
  const QString listPath = ListPath(application);
  if (!QDir().mkpath(folder_)) Fail(kWriteFailed, listPath, QString::fromLatin1(kFolderNotCreated));
  CheckReplaceable(listPath, std::numeric_limits<qint64>::max());
  // The list file as it was, kept under a second name of this process's
  // own until the settings file has let go of the list.
  const QString kept = listPath + QStringLiteral(".before-") + QString::number(::getpid());
  QFile::remove(kept);
  const bool existed = QFile::exists(listPath);
  if (existed &&
      ::link(QFile::encodeName(listPath).constData(), QFile::encodeName(kept).constData()) != 0) {
    Fail(kWriteFailed, listPath, OsReason(errno));
  }
  try {
    WriteListFile(listPath, [&text](const auto& take) {
      ListValueFormat().ForEachItem(text, [&take](QStringView name) {
        take(name);
        return true;
      });
    });
    RemoveOldList(application, section, key);
  } catch (...) {
    if (existed) {
      ::rename(QFile::encodeName(kept).constData(), QFile::encodeName(listPath).constData());
    } else {
      QFile::remove(listPath);
    }
    throw;
  }
  QFile::remove(kept);
}

void LinuxSettingsStore::RemoveOldList(const QString& application, const QString& section,
                                       const QString& key) const {
  const QString path = SettingsPath(application);
  CheckReadable(path, kLargestSettingsFile);
  QSettings settings(path, QSettings::IniFormat);
  if (!settings.contains(SettingsKey(section, key))) return;
  PrepareWrite(path, 0);
  settings.remove(SettingsKey(section, key));
  settings.sync();
  if (settings.status() == QSettings::AccessError) {
    Fail(kWriteFailed, path, QString::fromLatin1(kNotReplaced));
  }
}
