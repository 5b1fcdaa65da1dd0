#include "platform/Platform.h"
#include "platform/linux/LinuxPatternListing.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

QString FolderSeparator() { return QStringLiteral("/"); }

std::unique_ptr<Platform> CreatePlatform() {
  auto platform = std::make_unique<Platform>();
  platform->wallpaper = CreateLinuxWallpaper();
  platform->patterns = std::make_unique<LinuxPatternListing>();
  return platform;
}
