#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {}  // namespace

QString CommandLineHelpText() {
  return QStringLiteral(
      "Command-line options:\r\n"
      "/rotate\tchange desktop-wallpaper to\r\n"
      "\tthe next file of the image list,\r\n"
      "\tafter the last one it set\r\n"
      "/auto\tauto-change desktop-wallpaper\r\n"
      "\teach time the current\r\n"
      "\tuser logs on\r\n"
      "/remove\tstop auto-changing\r\n"
      "\tdesktop-wallpaper");
}

void ShowCommandLineHelp() {
  CurrentPlatform().messages->Show(CommandLineHelpText(), kStyleInformation, ApplicationTitle());
}

}  // namespace modMain
