// Loading the stored list from whatever the settings file holds never
// crashes and only ever adds names of existing files. The first byte picks
// the case: 0 puts the remaining bytes in the settings file as they are;
// anything else stores the remaining bytes (as UTF-8 text) as the list value
// through the settings store, which must read it back unchanged from the
// file.
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "imagelist/ZVRImageList.h"
#include "kit/ProgramError.h"
#include "platform/Platform.h"
#include "platform/linux/IniSettingsStore.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace {

const QString kSection = QStringLiteral("Main");

// Names that the seeds refer to: plain files, one with a blank, one with a
// quote and one with the separator; a folder named like a picture.
void MakePictures() {
  QDir().mkpath(QStringLiteral("pics/folder.png"));
  for (const char* name : {"pics/a.png", "pics/a b.png", "pics/q\"t.png", "pics/s; t.png"}) {
    QFile file(QString::fromUtf8(name));
    if (!file.open(QIODevice::WriteOnly)) abort();
  }
}

QString Folder() { return QDir::current().absoluteFilePath(QStringLiteral("settings")); }

// A store that has not read the file yet, so every read parses it anew.
void InstallFreshStore() {
  auto platform = std::make_unique<Platform>();
  platform->settings = std::make_unique<IniSettingsStore>(Folder());
  InstallPlatform(std::move(platform));
}

QByteArray FileContent(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void StoreValue(const QString& text) {
  const QString path = IniSettingsStore(Folder()).FilePath(modMain::ApplicationTitle());
  const QByteArray before = FileContent(path);
  // The file before and after, for whoever reads the report.
  const auto report = [&](const char* what) {
    std::fprintf(stderr, "%s\nbefore: %s\nafter: %s\n", what,
                 before.toPercentEncoding(" /;=[]\"").constData(),
                 FileContent(path).toPercentEncoding(" /;=[]\"").constData());
    abort();
  };
  InstallFreshStore();
  try {
    CurrentPlatform().settings->Write(modMain::ApplicationTitle(), kSection,
                                      QLatin1String(modMain::kImageListContentKey), text);
  } catch (const ProgramError& error) {
    report(error.what());
  }
  InstallFreshStore();
  if (modMain::ReadSetting(QLatin1String(modMain::kImageListContentKey)) != text) {
    report("value not read back");
  }
}

// The store dates each file it puts in place after the one before, and
// after its own last one, which takes the clock's time when that is later:
// the paths it takes would depend on how fast the inputs run. Dating the
// files this harness writes a second after everything before, from the year
// 2100 on, makes every such date the store compares later than the clock.
void DateInFuture(const QString& path) {
  struct stat status {};
  const time_t previous =
      ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mtim.tv_sec : 0;
  const timespec date{std::max<time_t>(previous, 4102444800) + 1, 0};
  const timespec times[2] = {date, date};
  if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0) abort();
}

void StoreBytes(const QByteArray& bytes) {
  const QString path = IniSettingsStore(Folder()).FilePath(modMain::ApplicationTitle());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
    abort();
  }
  file.close();
  DateInFuture(path);
  InstallFreshStore();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakePictures();
  QDir().mkpath(Folder());
  // From the first input on, the store's last write is dated in the future.
  StoreBytes(QByteArray());
  StoreValue(QString());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const QByteArray rest(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
  if (data[0] == 0) {
    StoreBytes(rest);
  } else {
    StoreValue(QString::fromUtf8(rest));
  }
  modMain::SharedImageList()->Clear();
  modMain::LoadImageListSetting();
  for (const QString& name : *modMain::SharedImageList()) {
    if (!QFileInfo(name).isFile()) abort();
  }
  return 0;
}
