// Any command line without control characters becomes a logon entry whose
// Exec line, read back through GLib and split by the desktop-entry quoting
// rules, gives the same arguments as the command line itself; a command
// line holding a control character is refused with a numbered error and
// writes nothing. The first entries written (the seeds among them) and
// every 200th after them are kept in ./samples, for desktop-file-validate
// to check after the run.
#include <QDir>
#include <QFile>

#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "kit/ProgramError.h"
#include "kit/StringList.h"
#include "platform/linux/AutostartEntry.h"
#include "startup/modMain.h"

namespace {

constexpr int kFirstKept = 40;
constexpr int kSampleEvery = 200;
constexpr int kMostSamples = 500;

bool HoldsControlCharacter(const QString& text) {
  for (const QChar ch : text) {
    if (ch.category() == QChar::Other_Control) return true;
  }
  return false;
}

QStringList CommandLineArguments(const QString& commandLine) {
  StringList split;  // the command-line defaults: blanks, double quotes
  split.SetText(commandLine);
  QStringList arguments;
  for (int i = 1; i <= split.Count(); ++i) arguments.append(split.Item(i));
  return arguments;
}

// Splits an Exec value by the desktop-entry rules: blanks between
// arguments, double quotes around an argument, inside them a backslash
// before " ` $ \, and %% for a percent sign. Anything else those rules
// forbid (another field code, a stray quote or backslash) gives nullopt.
std::optional<QStringList> ParseExec(const QString& exec) {
  QStringList arguments;
  QString current;
  bool started = false, quoted = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar ch = exec[i];
    if (ch == u'%') {
      if (i + 1 >= exec.size() || exec[i + 1] != u'%') return std::nullopt;
      current += ch;
      started = true;
      ++i;
    } else if (quoted && ch == u'\\') {
      if (i + 1 >= exec.size() || !QStringLiteral("\"`$\\").contains(exec[i + 1])) {
        return std::nullopt;
      }
      current += exec[++i];
    } else if (ch == u'"') {
      if (!quoted && started) return std::nullopt;
      quoted = !quoted;
      started = true;
    } else if (ch == u' ' && !quoted) {
      if (started) arguments.append(current);
      current.clear();
      started = false;
    } else {
      current += ch;
      started = true;
    }
  }
  if (quoted) return std::nullopt;
  if (started) arguments.append(current);
  return arguments;
}

QString ReadExec(const QString& file) {
  GKeyFile* entry = g_key_file_new();
  QString exec;
  if (g_key_file_load_from_file(entry, QFile::encodeName(file).constData(), G_KEY_FILE_NONE,
                                nullptr)) {
    gchar* value = g_key_file_get_string(entry, "Desktop Entry", "Exec", nullptr);
    if (!value) abort();
    exec = QString::fromUtf8(value);
    g_free(value);
  } else {
    abort();
  }
  g_key_file_free(entry);
  return exec;
}

void KeepSample(const QString& file) {
  static int written = 0, kept = 0;
  ++written;
  if ((written > kFirstKept && written % kSampleEvery != 0) || kept >= kMostSamples) return;
  QFile::copy(file, QStringLiteral("samples/%1.desktop").arg(++kept));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QDir().mkpath(QStringLiteral("samples"));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString value =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  AutostartRegistry registry(QDir::current().absoluteFilePath(QStringLiteral("autostart")));
  const QString path = QLatin1String(modMain::kLogonEntryPath);
  const QString file = registry.EntryFile(path);
  QFile::remove(file);
  try {
    registry.RegWrite(path, value);
  } catch (const ProgramError& error) {
    if (!HoldsControlCharacter(value) || error.Number() == 0 || QFile::exists(file)) abort();
    return 0;
  }
  if (HoldsControlCharacter(value)) abort();
  if (ParseExec(ReadExec(file)) != CommandLineArguments(value)) abort();
  KeepSample(file);
  return 0;
}
