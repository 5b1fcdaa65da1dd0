#include "platform/GuiApplication.h"

#include <QEvent>

#include <cstdlib>
#include <exception>
#include <memory>

#include "errors/Errors.h"

namespace {

constexpr qint32 kErrDeviceUnavailable = 68;
constexpr char kDeviceUnavailable[] = "Device unavailable";
constexpr char kDisplayLostCause[] =
    "the connection to the display%1 broke (its server stopped, or it closed the program's "
    "connection); start the program again where a display runs";
constexpr int kExitAfterError = 1;

GuiApplication::ErrorHandler& Handler() {
  static GuiApplication::ErrorHandler handler = nullptr;
  return handler;
}

std::unique_ptr<GuiApplication>& Instance() {
  static std::unique_ptr<GuiApplication> instance;
  return instance;
}

// Qt keeps argc and argv for the application's lifetime. Only the program
// name is passed: the program's own arguments ("-platform", "-display", ...)
// must never be read as Qt options.
int argumentCount = 1;
char programName[] = "ZVistaro02";
char* arguments[] = {programName, nullptr};

// Qt ends the program with exit() when the display's connection breaks,
// from inside the event loop; the static objects' destructors would then
// delete the application under its running loop (a crash, SIGSEGV).
// Registered once the application exists, this runs before them: while the
// application still exists (main() releases it at a normal end) it reports
// the loss and ends the program there.
void EndOnLostDisplay() {
  if (!Instance()) return;
  if (Handler()) Handler()(DisplayLostError());
  std::_Exit(kExitAfterError);
}

QString DisplayName() {
  const char* variable =
      QGuiApplication::platformName() == QLatin1String("wayland") ? "WAYLAND_DISPLAY" : "DISPLAY";
  const QString name = qEnvironmentVariable(variable);
  return name.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(name);
}

}  // namespace

DisplayLostError::DisplayLostError()
    : ProgramError(kErrDeviceUnavailable, QLatin1String(modMain::kProjectName),
                   QLatin1String(kDeviceUnavailable),
                   QString::fromLatin1(kDisplayLostCause).arg(DisplayName())) {}

GuiApplication::GuiApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuiApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    if (Handler()) Handler()(error);
    // Letting it unwind through the event loop is undefined; with no
    // handler installed the program stops here.
    std::terminate();
  }
}

void GuiApplication::SetErrorHandler(ErrorHandler handler) { Handler() = handler; }

GuiApplication& EnsureGuiApplication() {
  if (!Instance()) {
    Instance() = std::make_unique<GuiApplication>(argumentCount, arguments);
    static const bool registered = std::atexit(&EndOnLostDisplay) == 0;
    (void)registered;
  }
  return *Instance();
}

void ReleaseGuiApplication() {
  if (!Instance()) return;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  Instance().reset();
}
