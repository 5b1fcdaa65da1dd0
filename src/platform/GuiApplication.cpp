#include "platform/GuiApplication.h"

#include <QEvent>

#include <exception>
#include <memory>

namespace {

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

}  // namespace

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
  if (!Instance()) Instance() = std::make_unique<GuiApplication>(argumentCount, arguments);
  return *Instance();
}

void ReleaseGuiApplication() {
  if (!Instance()) return;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  Instance().reset();
}
