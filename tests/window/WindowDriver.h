#pragma once

#include <QTest>

#include "startup/ListLoading.h"
#include "startup/modMain.h"
#include "window/frmMain.h"

// Opens and closes the main window the way start-up and the user do, and
// finds its controls by name.
class WindowDriver {
 public:
  // Window mode of start-up: the window shown, the stored list loaded.
  bool Start(bool waitForList = true) {
    modMain::BeginLoadingImageListSetting();
    window = modMain::SharedMainForm().get();
    window->show();
    return QTest::qWaitForWindowExposed(window) && (!waitForList || QTest::qWaitFor([] {
             return modMain::ImageListLoading()->Finished();
           }));
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
