#include "platform/linux/AutostartEntry.h"

#include <QDir>
#include <QFile>

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "errors/Errors.h"
#include "kit/ProgramError.h"
#include "kit/StringList.h"
#include "platform/linux/LinuxProcessInfo.h"

namespace {

// The number Windows reports for a value that does not exist, and a bad
// argument.
constexpr qint32 kErrNoSuchValue = -2147024894;      // 0x80070002
constexpr qint32 kErrInvalidArgument = -2147024809;  // 0x80070057

constexpr char kDesktopGroup[] = "Desktop Entry";
constexpr char kReservedInExec[] = " \t\n\"'\\><~|&;$*?#()`";
constexpr char kEscapedInQuotes[] = "\"`$\\";
constexpr char kLinkName[] = "/ZVistaro02";
constexpr char kNewLinkSuffix[] = ".new";

constexpr char kWritten[] = "Logon entry written: %1\nExec=%2";
constexpr char kControlCharacter[] =
    "Cannot write the logon entry %1: its command line holds a control character";
constexpr char kCannotCreateFolder[] = "Path/File access error: cannot create the folder %1";
constexpr char kCannotWrite[] = "Path/File access error: cannot write the logon entry %1 (%2)";
constexpr char kCannotLink[] = "Path/File access error: cannot link %1 to the program (%2)";
constexpr char kNoEntry[] = "Unable to remove the logon entry";
constexpr char kCannotDelete[] = "Path/File access error: cannot delete the logon entry %1 (%2)";
// Cause lines of the error report.
constexpr char kControlCharacterCause[] =
    "the logon entry \"%1\" cannot carry the command line \"%2\": it holds a control "
    "character; start the program by a path that has none";
constexpr char kCannotCreateFolderCause[] =
    "the folder \"%1\" cannot be created; check that its parent folder is writable";
constexpr char kCannotWriteCause[] = "the logon entry \"%1\" cannot be written (%2)";
constexpr char kCannotLinkCause[] =
    "the link \"%1\" that the logon entry starts the program by cannot be made (%2); check that "
    "its folder is writable and that the program still exists";
constexpr char kNoEntryCause[] = "there is no logon entry at \"%1\"; /auto writes one";
constexpr char kCannotDeleteCause[] = "the logon entry \"%1\" cannot be deleted (%2)";

[[noreturn]] void Fail(qint32 number, const QString& description, const QString& cause = {}) {
  throw ProgramError(number, QLatin1String(modMain::kProjectName), description, cause);
}

QString ErrnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool HoldsControlCharacter(const QString& text) {
  for (const QChar ch : text) {
    if (ch.category() == QChar::Other_Control) return true;
  }
  return false;
}

QString QuoteExecArgument(const QString& argument) {
  QString escaped = argument;
  escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
  bool reserved = argument.isEmpty();
  for (const QChar ch : argument) {
    if (ch.unicode() < 128 && std::strchr(kReservedInExec, ch.toLatin1())) reserved = true;
  }
  if (!reserved) return escaped;
  QString quoted = QStringLiteral("\"");
  for (const QChar ch : escaped) {
    if (ch.unicode() < 128 && std::strchr(kEscapedInQuotes, ch.toLatin1())) {
      quoted += QLatin1Char('\\');
    }
    quoted += ch;
  }
  return quoted + QLatin1Char('"');
}

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

QString TakeMessage(GError* error) {
  const QString message = error ? QString::fromUtf8(error->message) : QStringLiteral("unknown");
  g_clear_error(&error);
  return message;
}

void MakeFolder(const QString& folder) {
  if (!QDir().mkpath(folder)) {
    Fail(kErrPathFileAccess, QString::fromLatin1(kCannotCreateFolder).arg(folder),
         QString::fromLatin1(kCannotCreateFolderCause).arg(folder));
  }
}

[[noreturn]] void FailToLink(const QString& link, const QString& reason) {
  Fail(kErrPathFileAccess, QString::fromLatin1(kCannotLink).arg(link, reason),
       QString::fromLatin1(kCannotLinkCause).arg(link, reason));
}

// Points the link at the running executable: a new link renamed over the
// old one, then checked to lead to this very file (a program deleted or
// replaced since it started would leave the entry starting nothing).
void LinkToExecutable(const QString& link) {
  QByteArray target(PATH_MAX, '\0');
  const ssize_t size = ::readlink("/proc/self/exe", target.data(), PATH_MAX);
  if (size <= 0 || size >= PATH_MAX) FailToLink(link, ErrnoText(errno));
  target.truncate(size);
  const QByteArray name = QFile::encodeName(link);
  const QByteArray newName = name + kNewLinkSuffix;
  ::unlink(newName.constData());
  if (::symlink(target.constData(), newName.constData()) != 0 ||
      std::rename(newName.constData(), name.constData()) != 0) {
    const int error = errno;
    ::unlink(newName.constData());
    FailToLink(link, ErrnoText(error));
  }
  struct stat linked {};
  struct stat running {};
  if (::stat(name.constData(), &linked) != 0 || ::stat("/proc/self/exe", &running) != 0 ||
      linked.st_dev != running.st_dev || linked.st_ino != running.st_ino) {
    FailToLink(link, QStringLiteral("it does not lead to the running program"));
  }
}

}  // namespace

AutostartEntry::AutostartEntry(QString autostartFolder, QString linkFolder, ProcessInfo& process)
    : autostartFolder_(std::move(autostartFolder)),
      linkFolder_(std::move(linkFolder)),
      process_(process) {}

QString DesktopExecLine(const QString& commandLine) {
  StringList arguments;  // the command-line defaults: blanks, double quotes
  arguments.SetText(commandLine);
  QStringList quoted;
  for (int i = 1; i <= arguments.Count(); ++i) quoted += QuoteExecArgument(arguments.Item(i));
  return quoted.join(QLatin1Char(' '));
}

QString AutostartEntry::File() const {
  QString fileName = QLatin1String(kName);
  for (QChar& ch : fileName) {
    const bool kept = (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') ||
                      (ch >= u'0' && ch <= u'9') || ch == u'.' || ch == u'_' || ch == u'-';
    if (!kept) ch = u'-';
  }
  return autostartFolder_ + QLatin1Char('/') + fileName + QStringLiteral(".desktop");
}

QString AutostartEntry::Program() {
  const QString name = process_.ExecutableName();
  if (PathFindsProgram(name, process_.ExecutablePath())) return name;
  MakeFolder(linkFolder_);
  const QString link = linkFolder_ + QLatin1String(kLinkName);
  LinkToExecutable(link);
  return link;
}

QString AutostartEntry::Write(const QString& arguments) {
  const QString program = Program();
  const QString exec = WriteCommandLine(JoinCommandLine({program}) + QLatin1Char(' ') + arguments);
  // An earlier entry's link, once the new entry no longer needs it.
  if (program == process_.ExecutableName()) RemoveLink();
  return QString::fromLatin1(kWritten).arg(File(), exec);
}

QString AutostartEntry::WriteCommandLine(const QString& commandLine) {
  const QString file = File();
  // GKeyFile would escape a line break, but the entry must not be able to
  // carry anything the user cannot see in the value.
  if (HoldsControlCharacter(commandLine)) {
    Fail(kErrInvalidArgument, QString::fromLatin1(kControlCharacter).arg(file),
         QString::fromLatin1(kControlCharacterCause).arg(file, commandLine));
  }
  MakeFolder(autostartFolder_);
  const QString exec = DesktopExecLine(commandLine);
  const std::unique_ptr<GKeyFile, KeyFileDeleter> entry(g_key_file_new());
  g_key_file_set_string(entry.get(), kDesktopGroup, "Type", "Application");
  g_key_file_set_string(entry.get(), kDesktopGroup, "Name", kName);
  g_key_file_set_string(entry.get(), kDesktopGroup, "Exec", exec.toUtf8().constData());
  GError* error = nullptr;
  if (!g_key_file_save_to_file(entry.get(), QFile::encodeName(file).constData(), &error)) {
    const QString reason = TakeMessage(error);
    Fail(kErrPathFileAccess, QString::fromLatin1(kCannotWrite).arg(file, reason),
         QString::fromLatin1(kCannotWriteCause).arg(file, reason));
  }
  return exec;
}

void AutostartEntry::RemoveLink() const {
  const QByteArray link = QFile::encodeName(linkFolder_ + QLatin1String(kLinkName));
  struct stat status {};
  if (::lstat(link.constData(), &status) == 0 && S_ISLNK(status.st_mode)) {
    ::unlink(link.constData());
  }
}

void AutostartEntry::Remove() {
  const QString file = File();
  const QByteArray name = QFile::encodeName(file);
  // unlink, not remove: a folder of that name is no entry to delete.
  if (::unlink(name.constData()) == 0) {
    RemoveLink();
    return;
  }
  const int reason = errno;
  if (reason == ENOENT) {
    Fail(kErrNoSuchValue, QString::fromLatin1(kNoEntry),
         QString::fromLatin1(kNoEntryCause).arg(file));
  }
  const QString why = ErrnoText(reason);
  Fail(kErrPathFileAccess, QString::fromLatin1(kCannotDelete).arg(file, why),
       QString::fromLatin1(kCannotDeleteCause).arg(file, why));
}
