#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include "kit/KitGlobal.h"
#include "kit/ProgramError.h"

QString MakeFile(const QString& folder, const QString& name, const QByteArray& content) {
  const QString path = QDir(folder).filePath(name);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
    qFatal("cannot create test file %s", qPrintable(path));
  }
  return path;
}

TraceRecorder::TraceRecorder() {
  KitGlobal().SetTraceSink([this](const QString& line) { lines_.append(line); });
}

TraceRecorder::~TraceRecorder() { KitGlobal().SetTraceSink({}); }

namespace {

QString SettingsKey(const QString& application, const QString& section, const QString& key) {
  return application + QLatin1Char('/') + section + QLatin1Char('/') + key;
}

}  // namespace

QString FakeSettings::Read(const QString& application, const QString& section, const QString& key) {
  return values.value(SettingsKey(application, section, key));
}

void FakeSettings::Write(const QString& application, const QString& section, const QString& key,
                         const QString& value) {
  values.insert(SettingsKey(application, section, key), value);
}

void FakeRegistry::RegWrite(const QString& path, const QString& value) {
  values.insert(path, value);
}

void FakeRegistry::RegDelete(const QString& path) {
  if (values.remove(path) == 0) {
    throw ProgramError(-2147024894, QStringLiteral("test"), QStringLiteral("no such value"));
  }
}

bool FakeWallpaper::Set(const QString& file) {
  setFiles.append(file);
  return !refusedFiles.contains(file);
}

void FakeMessages::Show(const QString& prompt, int style, const QString& caption) {
  shown.append({prompt, style, caption});
}

FakePlatform::FakePlatform() {
  auto platform = std::make_unique<Platform>();
  auto real = CreatePlatform();
  platform->patterns = std::move(real->patterns);
  platform->settings = std::make_unique<FakeSettings>();
  platform->registry = std::make_unique<FakeRegistry>();
  platform->wallpaper = std::make_unique<FakeWallpaper>();
  platform->messages = std::make_unique<FakeMessages>();
  platform->process = std::make_unique<FakeProcess>();
  settings = static_cast<FakeSettings*>(platform->settings.get());
  registry = static_cast<FakeRegistry*>(platform->registry.get());
  wallpaper = static_cast<FakeWallpaper*>(platform->wallpaper.get());
  messages = static_cast<FakeMessages*>(platform->messages.get());
  process = static_cast<FakeProcess*>(platform->process.get());
  previous_ = InstallPlatform(std::move(platform));
}

FakePlatform::~FakePlatform() { InstallPlatform(std::move(previous_)); }
