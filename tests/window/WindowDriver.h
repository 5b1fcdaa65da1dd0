#pragma once

#include <QTest>

#include "startup/modMain.h"
#include "window/frmMain.h"

// Opens and closes the main window the way start-up and the user do, and
// finds its controls by name.
class WindowDriver {
 public:
  // Window mode of start-up: the stored list is loaded, the window shown.
  bool Start() {
    modMain::LoadImageListSetting();
    window = modMain::SharedMainForm().get();
    window->show();
    return QTest::qWaitForWindowExposed(window);
  }
  // Closing goes ahead and the window is gone once deferred deletes ran.
  bool Close() {
    const bool closed = window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return closed && !window;
  }
  template <typename T = QWidget>
  T* Control(const char* name) const {
    return window->findChild<T*>(name);
  }

  QPointer<frmMain> window;  // null once the window is gone
};
