#include "platform/linux/IniSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMultiHash>
#include <QSaveFile>
#include <QSettings>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <utility>

#include "errors/Errors.h"
#include "kit/ProgramError.h"
#include "platform/linux/IniText.h"

namespace {

constexpr char kWriteFailed[] =
    "Path/File access error: the settings could not be stored in %1 (%2)";
constexpr char kReadFailed[] =
    "Path/File access error: the settings could not be read from %1 (%2)";
constexpr char kFolderNotCreated[] = "its folder cannot be created";
constexpr char kFileNotReplaced[] = "the file cannot be replaced";
constexpr char kNotWrittenInFull[] = "the new file could not be written in full";
constexpr char kLockTimedOut[] = "another program kept it locked";
constexpr char kNotAFile[] = "it is not a regular file; move it away or replace it with one";
constexpr char kReadOnly[] = "the file is read-only; allow writing to it to store settings";

// How long a write waits for another program's write of the same file.
constexpr int kLockWaitMs = 10000;
// The longest chain of links followed, as the kernel's own limit for a path.
constexpr int kMaxLinks = 40;

QString SettingsKey(const QString& section, const QString& key) {
  return section + QLatin1Char('/') + key;
}

QString OsReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

[[noreturn]] void Fail(const QString& path, const QString& reason) {
  throw ProgramError(kErrPathFileAccess, QLatin1String(modMain::kProjectName),
                     QString::fromLatin1(kWriteFailed).arg(path, reason));
}

// Whether the file system holding the file has less room than the bytes
// needed. QSettings does not say why its write failed; a full disk is the
// cause a user can mend, and the one worth naming.
bool LacksRoom(const QString& file, qint64 needed) {
  struct statvfs fs {};
  const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
  if (::statvfs(folder.constData(), &fs) != 0) return false;
  const auto blocks = ::geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
  return static_cast<qint64>(blocks) * static_cast<qint64>(fs.f_frsize) < needed;
}

// Why nothing can be created beside the file (permission, a folder in the
// way, a full disk), found by trying the same atomic write once.
QString CreateFailureReason(const QString& path) {
  QSaveFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) return probe.errorString();
  probe.cancelWriting();
  return LacksRoom(path, 1) ? OsReason(ENOSPC) : QString::fromLatin1(kFileNotReplaced);
}

// The file at the end of a chain of links (the path itself when it is no
// link), or nothing for a chain that never ends.
std::optional<QString> FinalTarget(const QString& path) {
  QString file = path;
  for (int links = 0; QFileInfo(file).isSymLink(); ++links) {
    if (links == kMaxLinks) return std::nullopt;
    file = QFileInfo(file).symLinkTarget();
  }
  return file;
}

// Reading a FIFO or a device in place of the settings file would wait for
// a writer forever, and replacing a folder or a socket loses it: only a
// regular file, or none, is a settings file.
bool IsNeitherFileNorAbsent(const QString& file) {
  struct stat status {};
  return ::stat(QFile::encodeName(file).constData(), &status) == 0 && !S_ISREG(status.st_mode);
}

// A file its owner may not write is a user's "do not change". It is judged
// by the mode bits, so that root, whom access() lets write anything, leaves
// it too.
bool IsReadOnly(const QString& file) {
  struct stat status {};
  return ::stat(QFile::encodeName(file).constData(), &status) == 0 &&
         (status.st_mode & S_IWUSR) == 0;
}

// The file the write replaces: the end of the chain when the settings file
// is a link (the links stay links), refused when it is no regular file or is
// read-only.
QString ReplaceableTarget(const QString& path) {
  const std::optional<QString> target = FinalTarget(path);
  if (!target) Fail(path, OsReason(ELOOP));
  if (IsNeitherFileNorAbsent(*target)) Fail(path, QString::fromLatin1(kNotAFile));
  if (IsReadOnly(*target)) Fail(path, QString::fromLatin1(kReadOnly));
  return *target;
}

// What changes whenever a file is written or another takes its place.
struct Stamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};
  mode_t mode = 0;

  explicit Stamp(const struct stat& status)
      : device(status.st_dev),
        inode(status.st_ino),
        size(status.st_size),
        modified(status.st_mtim),
        changed(status.st_ctim),
        mode(status.st_mode) {}
  bool operator==(const Stamp& other) const {
    const auto same = [](const timespec& a, const timespec& b) {
      return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    };
    return device == other.device && inode == other.inode && size == other.size &&
           same(modified, other.modified) && same(changed, other.changed) && mode == other.mode;
  }
};

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

// A value as it compares after QSettings wrote it back: a list holding
// control characters comes back as a list of variants of the same texts.
QVariant Comparable(const QVariant& value) {
  return value.typeId() == QMetaType::QVariantList ? QVariant(value.toStringList()) : value;
}

// Whether the new value is found under its key and every other value that
// could be read before is found unchanged. QSettings does not give a
// damaged file back key for key, but it loses no value: a key listed with
// no readable value (a line \k=v is listed as "/k") comes back under a key
// it can read, the keys of a section "[%GEneral]" under "General". So
// the values are matched by content, wherever they are.
bool HoldsAll(const Values& found, const Values& before, const QString& settingsKey,
              const QString& value) {
  const auto stored = found.find(settingsKey);
  if (stored == found.end() || stored->second != QVariant(value)) return false;
  // A key listed with doubled or outer slashes ("Main//Key") reads the
  // value of the key without them.
  const auto isSettingsKey = [&settingsKey](const QString& key) {
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/')) == settingsKey;
  };
  QMultiHash<QString, QVariant> others;
  for (const auto& [key, held] : found) {
    if (!isSettingsKey(key)) others.insert(held.toString(), Comparable(held));
  }
  return std::all_of(before.begin(), before.end(), [&](const auto& entry) {
    if (isSettingsKey(entry.first) || !entry.second.isValid()) return true;
    const QVariant wanted = Comparable(entry.second);
    for (auto it = others.find(entry.second.toString());
         it != others.end() && it.key() == entry.second.toString(); ++it) {
      if (it.value() == wanted) {
        others.erase(it);
        return true;
      }
    }
    return false;
  });
}

// Whether the file holds the bytes at the offset, read in pieces, so that
// a file or a changed line of megabytes is not held twice.
bool HoldsAt(int fd, qsizetype offset, QByteArrayView expected) {
  constexpr qsizetype kPiece = 1 << 16;
  QByteArray found(std::min(kPiece, expected.size()), Qt::Uninitialized);
  for (qsizetype pos = 0; pos < expected.size(); pos += kPiece) {
    const qsizetype size = std::min(kPiece, expected.size() - pos);
    if (::pread(fd, found.data(), static_cast<size_t>(size), offset + pos) != size ||
        QByteArrayView(found.constData(), size) != expected.sliced(pos, size)) {
      return false;
    }
  }
  return true;
}

bool WriteAll(int fd, QByteArrayView content) {
  while (!content.isEmpty()) {
    const ssize_t written = ::write(fd, content.data(), static_cast<size_t>(content.size()));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content = content.sliced(written);
  }
  return true;
}

// Writes the scratch file and reads it back: a short write (a full disk, a
// file size limit) fails here, before the current file is touched, with the
// system's own reason (QFile reports a failed flush as an unknown error).
void WriteScratch(const QString& path, const QString& scratch, const QByteArray& content,
                  mode_t mode) {
  const int fd = ::open(QFile::encodeName(scratch).constData(),
                        O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) Fail(path, OsReason(errno));
  const bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fdatasync(fd) == 0;
  const int error = errno;
  struct stat status {};
  const bool whole = written && ::fstat(fd, &status) == 0 && status.st_size == content.size() &&
                     HoldsAt(fd, 0, content);
  if (::close(fd) != 0 && written) Fail(path, OsReason(errno));
  if (!written) Fail(path, OsReason(error));
  if (!whole) Fail(path, QString::fromLatin1(kNotWrittenInFull));
}

// How far around each change the new file is read back and compared.
constexpr qsizetype kCheckedMargin = 4096;

// Writes the content with the splices applied to the scratch file, without
// building it in memory, and reads back the size and the bytes around each
// change: the rest is the current file's bytes, written by the same calls.
void WriteSplicedScratch(const QString& path, const QString& scratch, QByteArrayView content,
                         const QList<IniSplice>& splices, mode_t mode) {
  const int fd = ::open(QFile::encodeName(scratch).constData(),
                        O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) Fail(path, OsReason(errno));
  bool written = ::fchmod(fd, mode) == 0;
  qsizetype pos = 0;
  qsizetype size = 0;
  for (const IniSplice& splice : splices) {
    written = written && WriteAll(fd, content.sliced(pos, splice.begin - pos)) &&
              WriteAll(fd, splice.text);
    size += splice.begin - pos + splice.text.size();
    pos = splice.end;
  }
  written = written && WriteAll(fd, content.sliced(pos)) && ::fdatasync(fd) == 0;
  size += content.size() - pos;
  const int error = errno;
  bool whole = written;
  struct stat status {};
  whole = whole && ::fstat(fd, &status) == 0 && status.st_size == size;
  qsizetype shift = 0;
  for (qsizetype i = 0; whole && i < splices.size(); ++i) {
    const IniSplice& splice = splices[i];
    const qsizetype before =
        qMin(kCheckedMargin, splice.begin - (i > 0 ? splices[i - 1].end : qsizetype{0}));
    const qsizetype after =
        qMin(kCheckedMargin,
             (i + 1 < splices.size() ? splices[i + 1].begin : content.size()) - splice.end);
    qsizetype at = splice.begin + shift - before;
    for (const QByteArrayView expected :
         {content.sliced(splice.begin - before, before), QByteArrayView(splice.text),
          content.sliced(splice.end, after)}) {
      whole = whole && HoldsAt(fd, at, expected);
      at += expected.size();
    }
    shift += splice.text.size() - (splice.end - splice.begin);
  }
  if (::close(fd) != 0 && written) Fail(path, OsReason(errno));
  if (!written) Fail(path, OsReason(error));
  if (!whole) Fail(path, QString::fromLatin1(kNotWrittenInFull));
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

void DateLaterThan(const QString& path, const QString& file, const timespec& earlier) {
  const qint64 next = Milliseconds(earlier) + 1;
  if (Milliseconds(ModificationTime(file)) >= next) return;
  const timespec later{static_cast<time_t>(next / 1000), static_cast<long>(next % 1000) * 1000000};
  const timespec times[2] = {{0, UTIME_OMIT}, later};
  if (::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) != 0) {
    Fail(path, OsReason(errno));
  }
}

// The date of the last file this process put in place, as QSettings knew
// it. QSettings keeps one cache of files for the whole process, shared by
// every store and every QSettings object, so what it may still hold of the
// last write is process-wide too.
timespec& LastReplacementTime() {
  static timespec time{};
  return time;
}

// A file in any other form (edited by hand, damaged) is copied, given the
// value by QSettings itself, and checked to hold every value it held before
// besides the new one.
void RewriteThroughQSettings(const QString& path, const QString& scratch, const QByteArray& current,
                             mode_t mode, const QString& settingsKey, const QString& value) {
  WriteScratch(path, scratch, current, mode);
  // QSettings may still hold the scratch file of this process's previous
  // write under the same name, dated no later than that write.
  DateLaterThan(path, scratch, LastReplacementTime());
  const Values before = ReadValues(scratch);
  // A full disk makes QSettings fail, or worse, rename a cut-off file into
  // place and report nothing. Its new file was written beside the copy, so
  // both had to fit where the scratch file (whole or cut off) is now.
  const qint64 needed = 2 * current.size() + settingsKey.size() + EscapeIniValue(value).size() + 4;
  const auto failure = [&path, &scratch, needed] {
    const bool full = LacksRoom(scratch, needed - QFileInfo(scratch).size());
    Fail(path, full ? OsReason(ENOSPC) : QString::fromLatin1(kNotWrittenInFull));
  };
  {
    QSettings settings(scratch, QSettings::IniFormat);
    settings.setValue(settingsKey, value);
    settings.sync();
    if (settings.status() != QSettings::NoError) failure();
  }
  // What QSettings reads back now comes from its cache as long as the file
  // keeps the size and date it wrote; a new date makes it read the bytes
  // that reached the disk.
  DateLaterThan(path, scratch, ModificationTime(scratch));
  if (!HoldsAll(ReadValues(scratch), before, settingsKey, value)) failure();
}

// The new file is the current one with only this value changed, made
// beside it and checked before it is renamed over it, so a write that fails
// never leaves a cut-off file. Only the one line changes: a stored list of
// 100,000 names is copied, not parsed and written anew.
void ReplaceWithScratch(const QString& path, const QString& target, const QString& scratch,
                        const QByteArray& current, const std::optional<IniLayout>& layout,
                        mode_t mode, const QString& section, const QString& key,
                        const IniPieces& value) {
  if (layout) {
    WriteSplicedScratch(path, scratch, current, layout->Set(current, section, key, value), mode);
  } else {
    // QSettings takes the value whole.
    QString whole;
    value([&whole](QStringView piece) { whole += piece; });
    RewriteThroughQSettings(path, scratch, current, mode, SettingsKey(section, key), whole);
  }
  DateLaterThan(path, scratch, LastReplacementTime());
  DateLaterThan(path, scratch, ModificationTime(target));
  LastReplacementTime() = ModificationTime(scratch);
  if (std::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(target).constData()) !=
      0) {
    Fail(path, OsReason(errno));
  }
}

// Reads the whole file; false with errno set when it cannot be read.
bool ReadWhole(int fd, qint64 expectedSize, QByteArray& content) {
  // Sized exactly: a resize would leave room to grow, a third more.
  content = QByteArray(expectedSize + 1, Qt::Uninitialized);
  PreferLargePages(content.data(), content.size());
  qsizetype size = 0;
  for (;;) {
    if (size == content.size()) content.resize(content.size() * 2);
    const ssize_t got =
        ::read(fd, content.data() + size, static_cast<size_t>(content.size() - size));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    size += got;
  }
  content.truncate(size);
  return true;
}

}  // namespace

struct IniSettingsStore::Snapshot {
  QString file;
  Stamp stamp;
  QByteArray content;
  std::optional<IniLayout> layout;  // nothing when the file is not in the plain form
};

std::shared_ptr<const IniSettingsStore::Snapshot> IniSettingsStore::Load(const QString& file) {
  const QByteArray name = QFile::encodeName(file);
  struct stat status {};
  if (::stat(name.constData(), &status) != 0) {
    if (errno != ENOENT) return nullptr;
    // No file reads as an empty one.
    status = {};
    status.st_mode = S_IFREG | S_IRUSR | S_IWUSR;
    return std::make_shared<const Snapshot>(Snapshot{file, Stamp(status), {}, IniLayout::Scan({})});
  }
  {
    const std::lock_guard lock(snapshotMutex_);
    if (snapshot_ && snapshot_->file == file && snapshot_->stamp == Stamp(status)) return snapshot_;
  }
  const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  QByteArray content;
  struct stat after {};
  const bool read = ::fstat(fd, &status) == 0 && ReadWhole(fd, status.st_size, content) &&
                    ::fstat(fd, &after) == 0;
  ::close(fd);
  if (!read) return nullptr;
  auto snapshot = std::make_shared<const Snapshot>(
      Snapshot{file, Stamp(status), content, IniLayout::Scan(content)});
  // A file written while it was read is read again next time.
  const std::lock_guard lock(snapshotMutex_);
  snapshot_ = Stamp(after) == Stamp(status) ? snapshot : nullptr;
  return snapshot;
}
IniSettingsStore::IniSettingsStore(QString folder) : folder_(std::move(folder)) {}

QString IniSettingsStore::FilePath(const QString& application) const {
  return folder_ + QLatin1Char('/') + application + QStringLiteral(".ini");
}

QString IniSettingsStore::CheckedPath(const QString& application) const {
  const QString path = FilePath(application);
  if (IsNeitherFileNorAbsent(path)) {
    throw ProgramError(kErrPathFileAccess, QLatin1String(modMain::kProjectName),
                       QString::fromLatin1(kReadFailed).arg(path, QString::fromLatin1(kNotAFile)));
  }
  return path;
}

void IniSettingsStore::ReadInPieces(const QString& application, const QString& section,
                                    const QString& key,
                                    const std::function<bool(QStringView)>& take) {
  // Pieces of this size keep what is held small and cost a call each.
  constexpr qsizetype kPiece = 1 << 16;
  const QString path = CheckedPath(application);
  if (const auto snapshot = Load(path);
      snapshot && snapshot->layout &&
      snapshot->layout->ValueInPieces(snapshot->content, section, key, kPiece, take)) {
    return;
  }
  take(Read(application, section, key));
}

QString IniSettingsStore::Read(const QString& application, const QString& section,
                               const QString& key) {
  const QString path = CheckedPath(application);
  // The plain form this program writes is read here; any other is left to
  // QSettings, with a fresh reader each time: another program may have
  // changed the file.
  if (const auto snapshot = Load(path); snapshot && snapshot->layout) {
    if (auto value = snapshot->layout->Value(snapshot->content, section, key)) return *value;
  }
  const QVariant value = QSettings(path, QSettings::IniFormat).value(SettingsKey(section, key));
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
  Replace(application, section, key, [&value](const auto& take) { take(value); });
}

void IniSettingsStore::WriteInPieces(const QString& application, const QString& section,
                                     const QString& key, const IniPieces& value) {
  Replace(application, section, key, value);
}

void IniSettingsStore::Replace(const QString& application, const QString& section,
                               const QString& key, const IniPieces& value) {
  const QString path = FilePath(application);
  if (!QDir().mkpath(folder_)) Fail(path, QString::fromLatin1(kFolderNotCreated));
  // The lock file QSettings itself uses, so that a write of another program
  // never falls between reading the current file and replacing it.
  QLockFile lock(path + QStringLiteral(".lock"));
  if (!lock.tryLock(kLockWaitMs)) {
    Fail(path, lock.error() == QLockFile::LockFailedError ? QString::fromLatin1(kLockTimedOut)
                                                          : CreateFailureReason(path));
  }
  const QString target = ReplaceableTarget(path);
  const std::shared_ptr<const Snapshot> current = Load(target);
  if (!current) {
    QFile file(target);
    Fail(path, file.open(QIODevice::ReadOnly) ? OsReason(EIO) : file.errorString());
  }
  {
    const std::lock_guard lock(snapshotMutex_);
    snapshot_.reset();
  }
  const QString scratch = target + QStringLiteral(".new-") + QString::number(::getpid());
  QFile::remove(scratch);
  try {
    ReplaceWithScratch(path, target, scratch, current->content, current->layout,
                       current->stamp.mode & 07777, section, key, value);
  } catch (...) {
    QFile::remove(scratch);
    throw;
  }
}

void IniSettingsStore::CheckWritable(const QString& application) {
  ReplaceableTarget(FilePath(application));
}
