#include "platform/linux/AutostartEntry.h"

#include <QDir>
#include <QFileInfo>

#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "errors/Errors.h"
#include "kit/ProgramError.h"
#include "kit/StringList.h"

namespace {

// Numbers as the registry reports them: no such value, a bad argument.
constexpr qint32 kErrNoSuchValue = -2147024894;      // 0x80070002
constexpr qint32 kErrInvalidArgument = -2147024809;  // 0x80070057

constexpr char kRunKey[] = "software\\microsoft\\windows\\currentversion\\run\\";
constexpr char kDesktopGroup[] = "Desktop Entry";
constexpr char kReservedInExec[] = " \t\n\"'\\><~|&;$*?#()`";
constexpr char kEscapedInQuotes[] = "\"`$\\";

constexpr char kInvalidPath[] =
    "Invalid registry path \"%1\": only values of the current user's Run key are kept on this "
    "system";
constexpr char kControlCharacter[] =
    "Cannot write the logon entry %1: its name or value holds a control character";
constexpr char kCannotCreateFolder[] = "Path/File access error: cannot create the folder %1";
constexpr char kCannotWrite[] = "Path/File access error: cannot write the logon entry %1 (%2)";
constexpr char kNoEntry[] = "Unable to remove registry key \"%1\": there is no logon entry %2";
constexpr char kCannotDelete[] = "Path/File access error: cannot delete the logon entry %1 (%2)";
// Cause lines of the error report.
constexpr char kControlCharacterCause[] =
    "the logon entry \"%1\" cannot carry the program's path: it holds a control character; "
    "move the program to a folder whose path has none";
constexpr char kCannotCreateFolderCause[] =
    "the autostart folder \"%1\" cannot be created; check that its parent folder is writable";
constexpr char kCannotWriteCause[] = "the logon entry \"%1\" cannot be written (%2)";
constexpr char kNoEntryCause[] = "there is no logon entry \"%1\" to remove; /auto writes one";
constexpr char kCannotDeleteCause[] = "the logon entry \"%1\" cannot be deleted (%2)";

[[noreturn]] void Fail(qint32 number, const QString& description, const QString& cause = {}) {
  throw ProgramError(number, QLatin1String(modMain::kProjectName), description, cause);
}

// The value name after the Run key, or empty text when the path is not one.
QString RunValueName(const QString& path) {
  for (const char* root : {"hkey_current_user\\", "hkcu\\"}) {
    const QString prefix = QLatin1String(root) + QLatin1String(kRunKey);
    if (path.startsWith(prefix, Qt::CaseInsensitive)) return path.mid(prefix.size());
  }
  return {};
}

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

}  // namespace

AutostartRegistry::AutostartRegistry(QString folder) : folder_(std::move(folder)) {}

QString DesktopExecLine(const QString& commandLine) {
  StringList arguments;  // the command-line defaults: blanks, double quotes
  arguments.SetText(commandLine);
  QStringList quoted;
  for (int i = 1; i <= arguments.Count(); ++i) quoted += QuoteExecArgument(arguments.Item(i));
  return quoted.join(QLatin1Char(' '));
}

QString AutostartRegistry::EntryFile(const QString& path) const {
  const QString name = RunValueName(path);
  if (name.isEmpty() || name.contains(QLatin1Char('\\'))) {
    Fail(kErrInvalidArgument, QString::fromLatin1(kInvalidPath).arg(path));
  }
  QString fileName = name;
  for (QChar& ch : fileName) {
    const bool kept = (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') ||
                      (ch >= u'0' && ch <= u'9') || ch == u'.' || ch == u'_' || ch == u'-';
    if (!kept) ch = u'-';
  }
  return folder_ + QLatin1Char('/') + fileName + QStringLiteral(".desktop");
}

void AutostartRegistry::RegWrite(const QString& path, const QString& value) {
  const QString file = EntryFile(path);
  // GKeyFile would escape a line break, but the entry must not be able to
  // carry anything the user cannot see in the value.
  if (HoldsControlCharacter(path) || HoldsControlCharacter(value)) {
    Fail(kErrInvalidArgument, QString::fromLatin1(kControlCharacter).arg(file),
         QString::fromLatin1(kControlCharacterCause).arg(file));
  }
  if (!QDir().mkpath(folder_)) {
    Fail(kErrPathFileAccess, QString::fromLatin1(kCannotCreateFolder).arg(folder_),
         QString::fromLatin1(kCannotCreateFolderCause).arg(folder_));
  }
  const std::unique_ptr<GKeyFile, KeyFileDeleter> entry(g_key_file_new());
  g_key_file_set_string(entry.get(), kDesktopGroup, "Type", "Application");
  g_key_file_set_string(entry.get(), kDesktopGroup, "Name",
                        RunValueName(path).toUtf8().constData());
  g_key_file_set_string(entry.get(), kDesktopGroup, "Exec",
                        DesktopExecLine(value).toUtf8().constData());
  GError* error = nullptr;
  if (!g_key_file_save_to_file(entry.get(), QFile::encodeName(file).constData(), &error)) {
    const QString reason = TakeMessage(error);
    Fail(kErrPathFileAccess, QString::fromLatin1(kCannotWrite).arg(file, reason),
         QString::fromLatin1(kCannotWriteCause).arg(file, reason));
  }
}

void AutostartRegistry::RegDelete(const QString& path) {
  const QString file = EntryFile(path);
  const QByteArray name = QFile::encodeName(file);
  // unlink, not remove: a folder of that name is no entry to delete.
  if (::unlink(name.constData()) == 0) return;
  const int reason = errno;
  if (reason == ENOENT) {
    Fail(kErrNoSuchValue, QString::fromLatin1(kNoEntry).arg(path, file),
         QString::fromLatin1(kNoEntryCause).arg(file));
  }
  const QString why = QString::fromLocal8Bit(std::strerror(reason));
  Fail(kErrPathFileAccess, QString::fromLatin1(kCannotDelete).arg(file, why),
       QString::fromLatin1(kCannotDeleteCause).arg(file, why));
}
