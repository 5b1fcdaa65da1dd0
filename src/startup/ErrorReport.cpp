#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "errors/Errors.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {

constexpr int kStyleCritical = 16;
constexpr int kExitAfterError = 1;
constexpr qint32 kErrOutOfMemory = 7;
constexpr qint32 kErrInternal = 51;
constexpr char kOutOfMemory[] = "Out of memory";
constexpr char kInternalError[] = "Internal error (%1)";

QString ErrorText(qint32 number, const QString& description) {
  return QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" - ") + description;
}

QString ErrorTextOf(const std::exception& error) {
  if (const auto* programError = dynamic_cast<const ProgramError*>(&error)) {
    return ErrorText(programError->Number(), programError->Description());
  }
  if (dynamic_cast<const NoDisplayError*>(&error)) return QString::fromUtf8(error.what());
  if (dynamic_cast<const std::bad_alloc*>(&error)) {
    return ErrorText(kErrOutOfMemory, QString::fromLatin1(kOutOfMemory));
  }
  return ErrorText(kErrInternal,
                   QString::fromLatin1(kInternalError).arg(QString::fromUtf8(error.what())));
}

void ShowErrorBox(const QString& line) {
  Platform& platform = CurrentPlatform();
  if (platform.process->HasInteractiveDisplay()) {
    platform.messages->Show(line, kStyleCritical, ApplicationTitle());
  }
}

}  // namespace

QString UnhandledErrorLine(const std::exception& error) {
  return QLatin1String(kProjectName) + QStringLiteral(": ") + ErrorTextOf(error);
}

void ReportUnhandledError(const std::exception& error) {
  const QString line = UnhandledErrorLine(error);
  const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
  std::fflush(stderr);
  // Without a display there is nothing to show a box on; a window error
  // (no display) has said all there is to say.
  if (dynamic_cast<const NoDisplayError*>(&error)) return;
  try {
    ShowErrorBox(line);
  } catch (const std::exception&) {
    // The line on standard error is the report; a box that cannot be shown
    // must not turn it into a crash.
  }
}

void EndWithErrorReport(const std::exception& error) {
  ReportUnhandledError(error);
  std::fflush(nullptr);
  // Nothing after the failing step runs: no handler, no closing code, no
  // destructor that could store half-done work.
  std::_Exit(kExitAfterError);
}

}  // namespace modMain
