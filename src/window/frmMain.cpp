#include "window/frmMain.h"

#include <QCloseEvent>

#include "startup/VersionText.h"
#include "startup/modMain.h"

frmMain::frmMain(QWidget* parent) : QWidget(parent) { Form_Load(); }

void frmMain::Form_Load() { setWindowTitle(modMain::VersionTitle()); }

void frmMain::Form_Unload() {
  modMain::WriteSetting(QLatin1String(modMain::kImageListLastSelectedKey), QString());
  modMain::SaveImageListSetting();
}

void frmMain::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}
