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

StringList ListValueFormat() {
  StringList format;
  format.SetSeparator(QStringLiteral("; "));
  format.SetQuoteBegin(QStringLiteral("\""));
  format.SetQuoteEnd(QStringLiteral("\""));
  return format;
}

void SettingsStore::ReadList(const QString& application, const QString& section, const QString& key,
                             const std::function<bool(QStringView)>& visit) {
  ListValueFormat().ForEachItem(Read(application, section, key), visit);
}

void SettingsStore::ReadListFrom(const QString& application, const QString& section,
                                 const QString& key, const QString& name,
                                 const std::function<bool(QStringView)>& visit) {
  bool found = false;
  ReadList(application, section, key, [&](QStringView item) {
    found = found || item == name;
    return !found || visit(item);
  });
}

void SettingsStore::WriteList(const QString& application, const QString& section,
                              const QString& key, const StringList& names) {
  Write(application, section, key, names.Text());
}

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
