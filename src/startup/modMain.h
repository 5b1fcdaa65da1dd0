#pragma once

#include <QString>

#include <exception>
#include <memory>
#include <stdexcept>

class ListLoading;
class ZVRImageList;
class frmMain;

// The program's module: its entry point, its two shared objects and the
// persistence of the image list.
namespace modMain {

// Settings of the program: application name = ApplicationTitle(), this
// section, these keys.
inline constexpr char kSettingsSection[] = "Main";
inline constexpr char kImageListContentKey[] = "ImageListContent";
inline constexpr char kImageListLastSelectedKey[] = "ImageListLastSelected";

// The program's entry: loads the stored list, reads the command line and
// either runs one command or shows the main window. True when the window was
// shown and the program lives on its events; false when a command ran and
// the program ends.
[[nodiscard]] bool Main();

// Window mode without a display to open the window on.
class NoDisplayError : public std::runtime_error {
 public:
  NoDisplayError() : std::runtime_error("no display to open the window on") {}
};

// Hands the file to the platform as the desktop wallpaper, unchanged. A file
// that cannot be shown raises 53 or 481, a desktop that refuses it
// "Unexpected internal error", each with its cause.
void SetWallpaper(const QString& FileName);
// The entry after "ImageListLastSelected" (wrapping at the end); "Invalid
// Parameter" when the stored name is not an entry of the list, its cause
// naming the name.
QString NextWallpaper();
// Sets the wallpaper to an entry of the list and stores it as
// "ImageListLastSelected", so that the rotation goes on after it.
void SetListedWallpaper(const QString& FileName);
// Sets the wallpaper to the next entry (NextWallpaper) and stores it. An
// entry that cannot be shown (missing, unreadable, no picture, too dear to
// decode) is passed over with one line on standard error naming it, and the
// one after it is tried; the error of the last one tried is raised only when
// the walk comes back to an entry passed over, so that one bad entry never
// stops the rotation.
void RotateWallpaper();
// Writes the logon entry that runs "<executable> /rotate" at every logon
// and confirms it in the platform's words: where it is and what it runs.
void WriteLogonEntry();
// Deletes the logon entry; an error when there is none.
void DeleteLogonEntry();

// The list of command-line options, and showing it in a message box.
QString CommandLineHelpText();
void ShowCommandLineHelp();

// The text with every control character written as an escape ("\n", "\t",
// "\x1b"), so that a name in a report can neither break its line nor reach
// a terminal as a command.
QString EscapeControlCharacters(const QString& text);
// The one line that reports an error which ended the program:
// "ZVistaro02: Error <number> - <description>", control characters escaped.
QString UnhandledErrorLine(const std::exception& error);
// The line after it that says in plain words what failed and what to do,
// naming the file or value: "ZVistaro02: <cause>"; empty for an error that
// needs none (no display for the window).
QString ErrorCauseLine(const std::exception& error);
// Both lines, CR LF between them, as a message box shows the report: without
// the "ZVistaro02: " that begins each line on standard error.
QString ErrorReportText(const std::exception& error);
// From now on (command mode) every report carries its cause line.
void ReportCauseLines();
// Writes the report line, and the cause line when wanted, to standard error
// and, with an interactive display, shows them in a message box. Never
// throws.
void ReportUnhandledError(const std::exception& error);
// Reports the error and ends the program at once with exit status 1, so that
// nothing after the failing step runs.
[[noreturn]] void EndWithErrorReport(const std::exception& error);

// Reads and writes one settings value of the program (absent reads as empty).
QString ReadSetting(const QString& key);
void WriteSetting(const QString& key, const QString& value);

// The one image list, created on first use. Every caller shares it; the
// module keeps its own reference until SaveImageListSetting clears it.
std::shared_ptr<ZVRImageList> SharedImageList();

// The one main window, created on first use (neither loaded nor shown).
std::shared_ptr<frmMain> SharedMainForm();
// Clears the module's window reference; the window is deleted with
// deleteLater() once no reference is left, since it may still be inside its
// own close handling.
void ReleaseMainForm();

// Fills the shared image list from "ImageListContent", skipping every item
// that fails (names of missing files are left out silently).
void LoadImageListSetting();

// Window mode's loading: reads "ImageListContent" now and fills the shared
// image list as LoadImageListSetting does, with the splitting and the file
// lookups on another thread (see ListLoading), so that the window shows
// before a long list is complete.
void BeginLoadingImageListSetting();
// The loading begun, until the list is stored; nullptr when none was.
ListLoading* ImageListLoading();
// Waits for the loading begun, if any, so that the shared list is complete:
// every list command and the storing of the list call it first.
void FinishLoadingImageListSetting();

// The entry after FileName in the list "ImageListContent" would load, wrapping
// at the end, found without loading the list; "Invalid Parameter" when
// FileName is not among the loaded entries.
QString NextStoredFileName(const QString& FileName);

// Stores the shared list under "ImageListContent", then clears the module's
// references to the image list and the main window. Without a list (none
// was ever needed) it stores the empty list.
void SaveImageListSetting();

}  // namespace modMain
