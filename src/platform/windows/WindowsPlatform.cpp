#include "kit/KitGlobal.h"
#include "platform/Platform.h"
#include "platform/QtMessageBoxes.h"
#include "platform/windows/WindowsServices.h"

QString FolderSeparator() { return QStringLiteral("\\"); }

void FindFiles(std::span<const QString> names, std::span<char> found) {
  for (size_t i = 0; i < names.size(); ++i) found[i] = KitGlobal().FileExists(names[i]);
}

std::unique_ptr<Platform> CreatePlatform() {
  auto platform = std::make_unique<Platform>();
  platform->settings = std::make_unique<WindowsSettings>();
  platform->wallpaper = std::make_unique<WindowsWallpaper>();
  platform->patterns = std::make_unique<WindowsPatternListing>();
  platform->process = std::make_unique<WindowsProcessInfo>();
  platform->logon = std::make_unique<WindowsLogonEntry>(*platform->process);
  platform->messages =
      std::make_unique<QtMessageBoxes>(*platform->process, QtMessageBoxes::LineEnds::kCrLf);
  return platform;
}
