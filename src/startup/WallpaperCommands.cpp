#include <QSet>

#include <cstdio>

#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "kit/KitGlobal.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {

constexpr char kRotateArgument[] = "/rotate";

constexpr char kPassedOver[] =
    "ZVistaro02: %1; the rotation passed over it: remove it from the image list\n";
constexpr char kNothingShowable[] =
    "none of the %1 entries of the image list that were tried can be shown as the wallpaper "
    "(each is named above); remove them from the list and add pictures";
constexpr char kOnlyEntryNotShowable[] =
    "the one entry of the image list that was tried cannot be shown as the wallpaper (it is "
    "named above); remove it from the list and add pictures";
constexpr char kEmptyList[] = "the image list is empty; open the window and add pictures to it";
constexpr char kNothingSetYet[] =
    "the image list does not say where the rotation stands (no last wallpaper stored); open "
    "the window, select the entry to start after and close it";
constexpr char kLastNotListed[] =
    "the last wallpaper \"%1\" is not in the image list; open the window, select the entry to "
    "start after and close it";
constexpr char kLastGone[] =
    "the last wallpaper \"%1\" no longer exists, so it left the image list; open the window, "
    "select the entry to start after and close it";

// Why the stored last wallpaper gives no next entry.
QString NoNextCause(const QString& last) {
  // The rotation reads only what it needs; on this failure path the whole
  // list is worth loading to tell an empty list from a stale name.
  LoadImageListSetting();
  if (SharedImageList()->Count() == 0) return QString::fromLatin1(kEmptyList);
  if (last.isEmpty()) return QString::fromLatin1(kNothingSetYet);
  if (!KitGlobal().FileExists(last)) return QString::fromLatin1(kLastGone).arg(last);
  return QString::fromLatin1(kLastNotListed).arg(last);
}

// An entry the rotation passes over: its file is missing or unreadable, or
// no picture that can be shown. A desktop's refusal is no such entry.
bool CannotBeShown(const ProgramError& error) {
  return error.Number() == kErrFileNotFound || error.Number() == kErrInvalidPicture;
}

// One line on standard error for an entry passed over, naming it.
void ReportPassedOver(const ProgramError& error) {
  const QByteArray line =
      QString::fromLatin1(kPassedOver).arg(EscapeControlCharacters(error.Cause())).toUtf8();
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
  std::fflush(stderr);
}

}  // namespace

void SetWallpaper(const QString& FileName) {
  // The name goes to the platform exactly as stored: converting it to a
  // narrower character set would set a different file, or none, for names
  // outside it. A refusal raises its error with the cause.
  CurrentPlatform().wallpaper->Set(FileName);
}

QString NextWallpaper() {
  const QString last = ReadSetting(QLatin1String(kImageListLastSelectedKey));
  try {
    return NextStoredFileName(last);
  } catch (const ProgramError& error) {
    if (error.Number() != kErrInvalidParameter) throw;
    throw error.WithCause(NoNextCause(last));
  }
}

void SetListedWallpaper(const QString& FileName) {
  // Not while a rotation runs: it would store its own picture over this one.
  const auto lock = CurrentPlatform().settings->LockUpdates(ApplicationTitle());
  // A store that will refuse the new value refuses before the desktop
  // changes: the next rotation would set the same picture again.
  CurrentPlatform().settings->CheckWritable(ApplicationTitle());
  SetWallpaper(FileName);
  WriteSetting(QLatin1String(kImageListLastSelectedKey), FileName);
}

void RotateWallpaper() {
  // One rotation at a time: two at once would both start after the same
  // last wallpaper and set the same picture.
  const auto lock = CurrentPlatform().settings->LockUpdates(ApplicationTitle());
  // The picture readers' own warnings go to the trace output: the line that
  // names an entry passed over says what the user needs to know.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
    KitGlobal().Trace(message, 0);
  });
  QString next = NextWallpaper();
  // A store that will refuse the new value refuses before the desktop
  // changes, as for SetListedWallpaper.
  CurrentPlatform().settings->CheckWritable(ApplicationTitle());
  QSet<QString> passedOver;
  for (;;) {
    try {
      SetWallpaper(next);
      break;
    } catch (const ProgramError& error) {
      if (!CannotBeShown(error)) throw;
      ReportPassedOver(error);
      passedOver.insert(next);
      // Back where it began (or in a loop of entries that repeat): no entry
      // of the list can be shown.
      next = NextStoredFileName(next);
      if (passedOver.contains(next)) {
        throw error.WithCause(passedOver.size() == 1
                                  ? QString::fromLatin1(kOnlyEntryNotShowable)
                                  : QString::fromLatin1(kNothingShowable).arg(passedOver.size()));
      }
    }
  }
  WriteSetting(QLatin1String(kImageListLastSelectedKey), next);
}

void WriteLogonEntry() {
  const QString confirmation = CurrentPlatform().logon->Write(QLatin1String(kRotateArgument));
  CurrentPlatform().messages->Show(confirmation, kStyleOkOnly, ApplicationTitle());
}

void DeleteLogonEntry() { CurrentPlatform().logon->Remove(); }

}  // namespace modMain
