#pragma once

#include <QApplication>

#include <exception>

#include "kit/ProgramError.h"

// The program's one GUI application object. Command mode creates none unless
// a message box must be shown, so it is made on first need; window mode makes
// it before the window.
//
// Exceptions never cross Qt's event loop: whatever reaches an event handler
// is caught in notify() and handed to the unhandled-error handler, which
// reports it and ends the program. So is the loss of the display's
// connection, which Qt answers with exit() from inside the event loop.
class GuiApplication : public QApplication {
 public:
  using ErrorHandler = void (*)(const std::exception& error);

  GuiApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  static void SetErrorHandler(ErrorHandler handler);
};

// The connection to the display broke under the running application (its
// server stopped, or it closed the connection): error 68 "Device
// unavailable". No window or message box can be shown any more.
class DisplayLostError : public ProgramError {
 public:
  DisplayLostError();
};

// The GUI application object, created now when there is none yet. Only call
// it with an interactive display: Qt aborts on a display it cannot open.
GuiApplication& EnsureGuiApplication();

// Deletes the GUI application object, if one was made, after deleting the
// objects still waiting for deleteLater(). Call before main() returns, while
// the rest of Qt still exists.
void ReleaseGuiApplication();
