#include "startup/modMain.h"

#include "kit/KitGlobal.h"
#include "platform/GuiApplication.h"
#include "platform/Platform.h"
#include "window/frmMain.h"

namespace modMain {

namespace {

constexpr char kRotateOption[] = "/rotate";
constexpr char kAutoOption[] = "/auto";
constexpr char kRemoveOption[] = "/remove";

// Only the first argument counts; it is compared lower-cased, as a whole.
void RunCommand(const QString& option) {
  if (option == QLatin1String(kRotateOption) || option == QLatin1String(kAutoOption)) {
    RotateWallpaper();
    if (option == QLatin1String(kAutoOption)) WriteLogonEntry();
  } else if (option == QLatin1String(kRemoveOption)) {
    DeleteLogonEntry();
  } else {
    ShowCommandLineHelp();
  }
}

void ShowMainForm() {
  if (!CurrentPlatform().process->HasInteractiveDisplay()) throw NoDisplayError();
  EnsureGuiApplication();
  // The loading hands its runs to this thread's event loop.
  BeginLoadingImageListSetting();
  SharedMainForm()->show();
}

}  // namespace

bool Main() {
  KitGlobal().Arguments().SetText(CurrentPlatform().process->CommandLineText());
  const bool commandMode = KitGlobal().Arguments().Count() > 0;
  // A command's reports say why, from its first step on.
  if (commandMode) {
    ReportCauseLines();
    RunCommand(KitGlobal().Arguments().Item(1).toLower());
    return false;
  }
  // Only the window needs the whole list: a command reads what it needs.
  ShowMainForm();
  return true;
}

}  // namespace modMain
