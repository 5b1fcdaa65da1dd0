#include <exception>

#include "imagelist/ZVRImageList.h"
#include "kit/StringList.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {

std::shared_ptr<ZVRImageList>& ImageListReference() {
  static std::shared_ptr<ZVRImageList> reference;
  return reference;
}

}  // namespace

QString ReadSetting(const QString& key) {
  return CurrentPlatform().settings->Read(ApplicationTitle(), QLatin1String(kSettingsSection), key);
}

void WriteSetting(const QString& key, const QString& value) {
  CurrentPlatform().settings->Write(ApplicationTitle(), QLatin1String(kSettingsSection), key,
                                    value);
}

std::shared_ptr<ZVRImageList> SharedImageList() {
  auto& reference = ImageListReference();
  if (!reference) reference = std::make_shared<ZVRImageList>();
  return reference;
}

void LoadImageListSetting() {
  StringList loader;
  loader.SetSeparator(QStringLiteral("; "));
  loader.SetQuoteBegin(QStringLiteral("\""));
  loader.SetQuoteEnd(QStringLiteral("\""));
  loader.SetText(ReadSetting(QLatin1String(kImageListContentKey)));
  // A stored name that cannot be added is skipped; loading never fails as a
  // whole.
  int count = 0;
  try {
    count = loader.Count();
  } catch (const std::exception&) {
  }
  for (int i = 1; i <= count; ++i) {
    try {
      SharedImageList()->Add(loader.Item(i));
    } catch (const std::exception&) {
    }
  }
}

void SaveImageListSetting() {
  // A run that never needed the list (nothing stored, the window closed at
  // once) has none; it stores the empty list instead of failing.
  const std::unique_ptr<StringList> names =
      ImageListReference() ? ImageListReference()->FileNames() : ZVRImageList().FileNames();
  WriteSetting(QLatin1String(kImageListContentKey), names->Text());
  ImageListReference().reset();
  ReleaseMainForm();
}

}  // namespace modMain
