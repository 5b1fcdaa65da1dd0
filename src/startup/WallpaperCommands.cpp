#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {

constexpr char kRotateArgument[] = " /rotate";
constexpr int kStyleOkOnly = 0;

QString LogonEntryData() {
  return CurrentPlatform().process->ExecutableName() + QLatin1String(kRotateArgument);
}

}  // namespace

void SetWallpaper(const QString& FileName) {
  // The name goes to the platform exactly as stored: converting it to a
  // narrower character set would set a different file, or none, for names
  // outside it.
  if (!CurrentPlatform().wallpaper->Set(FileName)) RaiseError(kErrUnexpectedInternal);
}

void RotateWallpaper() {
  const QString key = QLatin1String(kImageListLastSelectedKey);
  const QString next = NextStoredFileName(ReadSetting(key));
  SetWallpaper(next);
  WriteSetting(key, next);
}

void WriteLogonEntry() {
  const QString data = LogonEntryData();
  CurrentPlatform().registry->RegWrite(QLatin1String(kLogonEntryPath), data);
  CurrentPlatform().messages->Show(QLatin1String(kLogonEntryPath) + QLatin1Char('\\') + data,
                                   kStyleOkOnly, ApplicationTitle());
}

void DeleteLogonEntry() { CurrentPlatform().registry->RegDelete(QLatin1String(kLogonEntryPath)); }

}  // namespace modMain
