// Any command line without control characters becomes a logon entry whose
// Exec line, read back through GLib and split by the desktop-entry quoting
// rules, gives the same arguments as the command line itself; a command
// line holding a control character is refused with a numbered error and
// writes nothing. Samples of the entries are kept in ./samples, for
// desktop-file-validate to check after the run.
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "kit/ProgramError.h"
#include "kit/StringList.h"
#include "platform/linux/AutostartEntry.h"
#include "platform/linux/LinuxProcessInfo.h"

namespace {

bool HoldsControlCharacter(const QString& text) {
  return text.contains(QRegularExpression(QStringLiteral("\\p{Cc}")));
}

QStringList CommandLineArguments(const QString& commandLine) {
  StringList split;  // the command-line defaults: blanks, double quotes
  split.SetText(commandLine);
  QStringList arguments;
  for (int i = 1; i <= split.Count(); ++i) arguments.append(split.Item(i));
  return arguments;
}

// Splits an Exec value: the desktop-entry rules are the shell's double
// quoting with "%%" for a percent sign; any other field code gives nullopt.
std::optional<QStringList> ParseExec(const QString& exec) {
  QString unescaped;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    if (exec[i] == u'%' && (++i >= exec.size() || exec[i] != u'%')) return std::nullopt;
    unescaped += exec[i];
  }
  if (unescaped.trimmed().isEmpty()) return QStringList();
  gchar** argv = nullptr;
  if (!g_shell_parse_argv(unescaped.toUtf8().constData(), nullptr, &argv, nullptr))
    return std::nullopt;
  QStringList arguments;
  for (gchar** argument = argv; *argument != nullptr; ++argument) {
    arguments.append(QString::fromUtf8(*argument));
  }
  g_strfreev(argv);
  return arguments;
}

QString ReadExec(const QString& file) {
  GKeyFile* entry = g_key_file_new();
  if (!g_key_file_load_from_file(entry, QFile::encodeName(file).constData(), G_KEY_FILE_NONE,
                                 nullptr)) {
    abort();
  }
  gchar* value = g_key_file_get_string(entry, "Desktop Entry", "Exec", nullptr);
  if (value == nullptr) abort();
  const QString exec = QString::fromUtf8(value);
  g_free(value);
  g_key_file_free(entry);
  return exec;
}

// The first entries written (the seeds among them) and every 200th after.
void KeepSample(const QString& file) {
  static int written = 0;
  if (++written <= 40 || written % 200 == 0) {
    QFile::copy(file, QStringLiteral("samples/%1.desktop").arg(written));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QDir().mkpath(QStringLiteral("samples"));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString value =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  static LinuxProcessInfo process;
  static AutostartEntry entry(QDir::current().absoluteFilePath(QStringLiteral("autostart")),
                              QDir::current().absoluteFilePath(QStringLiteral("data")), process);
  const QString file = entry.File();
  QFile::remove(file);
  try {
    entry.WriteCommandLine(value);
  } catch (const ProgramError& error) {
    if (!HoldsControlCharacter(value) || error.Number() == 0 || QFile::exists(file)) abort();
    return 0;
  }
  if (HoldsControlCharacter(value)) abort();
  if (ParseExec(ReadExec(file)) != CommandLineArguments(value)) abort();
  KeepSample(file);
  return 0;
}
