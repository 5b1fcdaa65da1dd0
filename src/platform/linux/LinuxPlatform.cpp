#include "platform/Platform.h"

QString FolderSeparator() { return QStringLiteral("/"); }

std::unique_ptr<Platform> CreatePlatform() {
  auto platform = std::make_unique<Platform>();
  return platform;
}
