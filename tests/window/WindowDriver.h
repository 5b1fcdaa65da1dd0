#pragma once

#include <QCoreApplication>
#include <QPointer>
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
    window_ = modMain::SharedMainForm().get();
    window_->show();
    return QTest::qWaitForWindowExposed(window_);
  }
  // Closing goes ahead and the window is gone once deferred deletes ran.
  bool Close() {
    const bool closed = window_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return closed && !window_;
  }
  frmMain* Window() const { return window_; }
  template <typename T = QWidget>
  T* Control(const char* name) const {
    return window_->findChild<T*>(QLatin1String(name));
  }

 private:
  QPointer<frmMain> window_;
};
