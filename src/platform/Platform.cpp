#include "platform/Platform.h"

#include <utility>

namespace {

std::unique_ptr<Platform>& Installed() {
  static std::unique_ptr<Platform> platform;
  return platform;
}

}  // namespace

Platform& CurrentPlatform() {
  if (!Installed()) Installed() = CreatePlatform();
  return *Installed();
}

std::unique_ptr<Platform> InstallPlatform(std::unique_ptr<Platform> platform) {
  return std::exchange(Installed(), std::move(platform));
}
