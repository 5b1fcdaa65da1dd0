#include "platform/Platform.h"

#include <QFileInfo>
#include <QStandardPaths>

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

// The bare name works at logon only when a PATH lookup finds this very
// program; another program of the same name may come first.
bool PathFindsProgram(const QString& name, const QString& path) {
  const QString found = QStandardPaths::findExecutable(name);
  return !found.isEmpty() && !path.isEmpty() &&
         QFileInfo(found).canonicalFilePath() == QFileInfo(path).canonicalFilePath();
}
