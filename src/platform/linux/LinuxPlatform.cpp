#include <csignal>

#include "platform/Platform.h"
#include "platform/QtMessageBoxes.h"
#include "platform/linux/AutostartEntry.h"
#include "platform/linux/LinuxPatternListing.h"
#include "platform/linux/LinuxProcessInfo.h"
#include "platform/linux/LinuxSettingsStore.h"
#include "platform/linux/XdgConfig.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

QString FolderSeparator() { return QStringLiteral("/"); }

std::unique_ptr<Platform> CreatePlatform() {
  // A write past the file size limit then fails with its error, which is
  // reported, instead of ending the program half-way.
  std::signal(SIGXFSZ, SIG_IGN);
  auto platform = std::make_unique<Platform>();
  platform->settings = std::make_unique<LinuxSettingsStore>(XdgConfigHome());
  platform->process = std::make_unique<LinuxProcessInfo>();
  platform->logon = std::make_unique<AutostartEntry>(XdgConfigHome() + QStringLiteral("/autostart"),
                                                     XdgDataHome() + QStringLiteral("/ZVistaro02"),
                                                     *platform->process);
  platform->messages =
      std::make_unique<QtMessageBoxes>(*platform->process, QtMessageBoxes::LineEnds::kLf);
  platform->wallpaper = CreateLinuxWallpaper();
  platform->patterns = std::make_unique<LinuxPatternListing>();
  return platform;
}
