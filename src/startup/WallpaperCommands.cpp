#include <QFileInfo>
#include <QStandardPaths>

#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "kit/KitGlobal.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace modMain {

namespace {

constexpr char kRotateArgument[] = " /rotate";

constexpr char kRefused[] = "the desktop did not take \"%1\" as its wallpaper";
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

// One argument of a command line, in double quotes (a quote doubled) when it
// holds a blank or a quote, so that splitting the line gives it back whole.
QString CommandLineArgument(const QString& argument) {
  if (!argument.contains(QLatin1Char(' ')) && !argument.contains(QLatin1Char('"'))) {
    return argument;
  }
  QString quoted = argument;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The bare name works at logon only when a PATH lookup finds this very
// program; otherwise (started from a build folder, or another program of the
// same name comes first) the entry names the executable by its path.
QString LogonExecutable() {
  ProcessInfo& process = *CurrentPlatform().process;
  const QString name = process.ExecutableName();
  const QString path = process.ExecutablePath();
  if (path.isEmpty()) return name;
  const QString found = QStandardPaths::findExecutable(name);
  if (!found.isEmpty() &&
      QFileInfo(found).canonicalFilePath() == QFileInfo(path).canonicalFilePath()) {
    return name;
  }
  return path;
}

QString LogonEntryData() {
  return CommandLineArgument(LogonExecutable()) + QLatin1String(kRotateArgument);
}

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

}  // namespace

void SetWallpaper(const QString& FileName) {
  // The name goes to the platform exactly as stored: converting it to a
  // narrower character set would set a different file, or none, for names
  // outside it.
  WallpaperSetter& wallpaper = *CurrentPlatform().wallpaper;
  if (wallpaper.Set(FileName)) return;
  QString cause = wallpaper.RefusalCause(FileName);
  if (cause.isEmpty()) cause = QString::fromLatin1(kRefused).arg(FileName);
  RaiseError(kErrUnexpectedInternal, std::nullopt, cause);
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
  SetListedWallpaper(NextWallpaper());
}

void WriteLogonEntry() {
  const QString data = LogonEntryData();
  CurrentPlatform().registry->RegWrite(QLatin1String(kLogonEntryPath), data);
  CurrentPlatform().messages->Show(QLatin1String(kLogonEntryPath) + QLatin1Char('\\') + data,
                                   kStyleOkOnly, ApplicationTitle());
}

void DeleteLogonEntry() { CurrentPlatform().registry->RegDelete(QLatin1String(kLogonEntryPath)); }

}  // namespace modMain
