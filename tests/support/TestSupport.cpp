#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include "kit/KitGlobal.h"

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

// Puts a new fake in the slot and returns it.
template <typename Fake, typename Interface>
Fake* Install(std::unique_ptr<Interface>& slot) {
  slot = std::make_unique<Fake>();
  return static_cast<Fake*>(slot.get());
}

}  // namespace

FakePlatform::FakePlatform() {
  auto platform = CreatePlatform();  // only its pattern listing stays real
  settings = Install<FakeSettings>(platform->settings);
  Install<FakeLogonEntry>(platform->logon);
  wallpaper = Install<FakeWallpaper>(platform->wallpaper);
  messages = Install<FakeMessages>(platform->messages);
  process = Install<FakeProcess>(platform->process);
  previous_ = InstallPlatform(std::move(platform));
}

FakePlatform::~FakePlatform() { InstallPlatform(std::move(previous_)); }
