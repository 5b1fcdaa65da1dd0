// A program whose only event handler raises a numbered error, to show what
// the GUI application does with an error that reaches an event handler.
#include <QTimer>

#include <cstdio>

#include "errors/Errors.h"
#include "platform/GuiApplication.h"
#include "startup/modMain.h"

int main() {
  GuiApplication::SetErrorHandler(&modMain::EndWithErrorReport);
  GuiApplication& application = EnsureGuiApplication();
  QTimer::singleShot(0, [] { modMain::RaiseError(modMain::kErrInvalidParameter, "Handler"); });
  // Reached only if the error was lost on its way.
  QTimer::singleShot(0, [] { std::puts("after the error"); });
  return application.exec();
}
