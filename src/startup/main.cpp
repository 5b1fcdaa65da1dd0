#include <QApplication>

#include <exception>

#include "kit/KitGlobal.h"
#include "platform/GuiApplication.h"
#include "platform/Platform.h"
#include "startup/modMain.h"

// Command mode runs without any application object unless a message box must
// be shown; window mode creates the GUI application before the window. What
// reaches an event handler is caught in GuiApplication::notify, what reaches
// here in the one catch below; both report and end with exit status 1. The
// arguments are read from the platform, not from here (the parameters are
// there for Qt's Windows entry point, which calls main with them).
int main(int, char**) {
  KitGlobal().SetTraceSink([](const QString& line) { CurrentPlatform().process->Trace(line); });
  GuiApplication::SetErrorHandler(&modMain::EndWithErrorReport);
  try {
    const int status = modMain::Main() ? QApplication::exec() : 0;
    ReleaseGuiApplication();
    return status;
  } catch (const std::exception& error) {
    modMain::EndWithErrorReport(error);
  }
}
