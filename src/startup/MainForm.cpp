#include "startup/modMain.h"
#include "window/frmMain.h"

namespace modMain {

namespace {

std::shared_ptr<frmMain>& MainFormReference() {
  static std::shared_ptr<frmMain> reference;
  return reference;
}

}  // namespace

std::shared_ptr<frmMain> SharedMainForm() {
  auto& reference = MainFormReference();
  if (!reference) {
    reference = std::shared_ptr<frmMain>(new frmMain, [](frmMain* form) { form->deleteLater(); });
  }
  return reference;
}

void ReleaseMainForm() {
  auto& reference = MainFormReference();
  if (reference) reference->close();
  reference.reset();
}

}  // namespace modMain
