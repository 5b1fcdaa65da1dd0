#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "errors/Errors.h"
#include "platform/GuiApplication.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {

constexpr int kExitAfterError = 1;
constexpr qint32 kErrOutOfMemory = 7;
constexpr qint32 kErrInternal = 51;
constexpr char kOutOfMemory[] = "Out of memory";
constexpr char kInternalError[] = "Internal error (%1)";
// Cause lines of errors whose raiser could not say more.
constexpr char kOutOfMemoryCause[] =
    "the program ran out of memory; close other programs and try again";
constexpr char kInternalCause[] =
    "an internal failure (%1); ZVISTARO_TRACE=- shows the steps that led to it";
constexpr char kNoCause[] = "%1; ZVISTARO_TRACE=- shows the steps that led to it";

// Command mode adds the cause line to every report; the window's reports
// keep their one line.
bool& CauseLinesWanted() {
  static bool wanted = false;
  return wanted;
}

QString ErrorTextOf(const std::exception& error) {
  if (const auto* programError = dynamic_cast<const ProgramError*>(&error)) {
    return ProgramError::Text(programError->Number(), programError->Description());
  }
  if (dynamic_cast<const NoDisplayError*>(&error)) return QString::fromUtf8(error.what());
  if (dynamic_cast<const std::bad_alloc*>(&error)) {
    return ProgramError::Text(kErrOutOfMemory, QString::fromLatin1(kOutOfMemory));
  }
  return ProgramError::Text(
      kErrInternal, QString::fromLatin1(kInternalError).arg(QString::fromUtf8(error.what())));
}

QString CauseOf(const std::exception& error) {
  if (const auto* programError = dynamic_cast<const ProgramError*>(&error)) {
    if (!programError->Cause().isEmpty()) return programError->Cause();
    return QString::fromLatin1(kNoCause).arg(programError->Description());
  }
  if (dynamic_cast<const NoDisplayError*>(&error)) return {};
  if (dynamic_cast<const std::bad_alloc*>(&error)) return QString::fromLatin1(kOutOfMemoryCause);
  return QString::fromLatin1(kInternalCause).arg(QString::fromUtf8(error.what()));
}

void ShowErrorBox(const QString& text) {
  Platform& platform = CurrentPlatform();
  if (platform.process->HasInteractiveDisplay()) {
    platform.messages->Show(text, kStyleCritical, ApplicationTitle());
  }
}

}  // namespace

QString EscapeControlCharacters(const QString& text) {
  QString escaped;
  escaped.reserve(text.size());
  for (const QChar ch : text) {
    if (ch.category() != QChar::Other_Control) {
      escaped += ch;
    } else if (ch == u'\n') {
      escaped += QStringLiteral("\\n");
    } else if (ch == u'\r') {
      escaped += QStringLiteral("\\r");
    } else if (ch == u'\t') {
      escaped += QStringLiteral("\\t");
    } else {
      escaped += QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'));
    }
  }
  return escaped;
}

QString UnhandledErrorLine(const std::exception& error) {
  return QLatin1String(kProjectName) + QStringLiteral(": ") +
         EscapeControlCharacters(ErrorTextOf(error));
}

QString ErrorCauseLine(const std::exception& error) {
  const QString cause = EscapeControlCharacters(CauseOf(error));
  return cause.isEmpty() ? QString() : QLatin1String(kProjectName) + QStringLiteral(": ") + cause;
}

QString ErrorReportText(const std::exception& error) {
  const QString cause = CauseOf(error);
  return ErrorTextOf(error) + (cause.isEmpty() ? QString() : QStringLiteral("\r\n") + cause);
}

void ReportCauseLines() { CauseLinesWanted() = true; }

void ReportUnhandledError(const std::exception& error) {
  const QString line = UnhandledErrorLine(error);
  const QString cause = CauseLinesWanted() ? ErrorCauseLine(error) : QString();
  QString lines = line + QLatin1Char('\n');
  if (!cause.isEmpty()) lines += cause + QLatin1Char('\n');
  const QByteArray bytes = lines.toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
  std::fflush(stderr);
  // Without a display there is nothing to show a box on; a window error
  // (no display, or its connection broke) has said all there is to say.
  if (dynamic_cast<const NoDisplayError*>(&error) ||
      dynamic_cast<const DisplayLostError*>(&error)) {
    return;
  }
  try {
    ShowErrorBox(CauseLinesWanted() ? ErrorReportText(error) : ErrorTextOf(error));
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
