#include <QChar>

#include <cstdio>
#include <exception>
#include <utility>

#include "imagelist/ZVRImageList.h"
#include "platform/Platform.h"
#include "startup/ListLoading.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {

// Qt reads a file name or a stored text that is not valid UTF-8 with each
// bad byte replaced, so such a name can never be found again.
const QChar kReplacement(0xFFFD);
constexpr char kNotUtf8[] =
    "ZVistaro02: skipped %1: there is no such file; each %2 in the name stands for bytes that "
    "are not valid UTF-8, which the program cannot open: give the file a UTF-8 name and add it "
    "to the list again\n";

void ReportIfNotUtf8(QStringView name) {
  if (!name.contains(kReplacement)) return;
  const QByteArray line = QString::fromLatin1(kNotUtf8)
                              .arg(EscapeControlCharacters(name.toString()), QString(kReplacement))
                              .toUtf8();
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
  std::fflush(stderr);
}

std::unique_ptr<ListLoading>& LoadingReference() {
  static std::unique_ptr<ListLoading> reference;
  return reference;
}

std::shared_ptr<ZVRImageList>& ImageListReference() {
  static std::shared_ptr<ZVRImageList> reference;
  return reference;
}

// The stored list's items in order, until visit returns false.
void StoredItems(const std::function<bool(QStringView)>& visit) {
  CurrentPlatform().settings->ReadList(ApplicationTitle(), QLatin1String(kSettingsSection),
                                       QLatin1String(kImageListContentKey), visit);
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
  QStringList names;
  StoredItems([&names](QStringView item) {
    names.append(item.toString());
    return true;
  });
  SharedImageList()->Add(names);
}

void BeginLoadingImageListSetting() {
  // Reading one value here reads the file: what makes it unreadable is
  // reported before the window shows, and the other thread finds it read.
  ReadSetting(QLatin1String(kImageListLastSelectedKey));
  LoadingReference() = std::make_unique<ListLoading>(StoredItems);
}

ListLoading* ImageListLoading() { return LoadingReference().get(); }

void FinishLoadingImageListSetting() {
  if (LoadingReference()) LoadingReference()->Finish();
}

QString NextStoredFileName(const QString& FileName) {
  // Only a walk that wraps past the end needs the names before FileName's
  // first entry: the first walk starts there, found by the store.
  bool wrapped = false;
  const auto walk = [&FileName, &wrapped](const std::function<bool(QStringView)>& visit) {
    if (std::exchange(wrapped, true)) {
      StoredItems(visit);
      return;
    }
    CurrentPlatform().settings->ReadListFrom(ApplicationTitle(), QLatin1String(kSettingsSection),
                                             QLatin1String(kImageListContentKey), FileName, visit);
  };
  // A missing file is skipped without a word, as loading does, unless its
  // name shows that it was lost to the encoding: that one would be skipped at
  // every rotation without the user ever learning why.
  return ZVRImageList::NextStoredFileName(walk, FileName, ReportIfNotUtf8);
}

void SaveImageListSetting() {
  // The list stored is the whole one, also when the window closes before
  // its loading has ended.
  FinishLoadingImageListSetting();
  // A run that never needed the list (nothing stored, the window closed at
  // once) has none; it stores the empty list instead of failing.
  const std::unique_ptr<StringList> names =
      ImageListReference() ? ImageListReference()->FileNames() : ZVRImageList().FileNames();
  CurrentPlatform().settings->WriteList(ApplicationTitle(), QLatin1String(kSettingsSection),
                                        QLatin1String(kImageListContentKey), *names);
  ImageListReference().reset();
  LoadingReference().reset();
  ReleaseMainForm();
}

}  // namespace modMain
