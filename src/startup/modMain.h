#pragma once

#include <QString>

#include <exception>
#include <memory>
#include <stdexcept>

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

// The logon entry: the Run key value the platform runs at every logon.
inline constexpr char kLogonEntryPath[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\"
    "Zorvane Vistaro 0.2 Wallpaper Rotation";

// Hands the file to the platform as the desktop wallpaper, unchanged;
// "Unexpected internal error" when the platform refuses it.
void SetWallpaper(const QString& FileName);
// Sets the wallpaper to the entry after "ImageListLastSelected" (wrapping at
// the end) and stores it there; "Invalid Parameter" when the stored name is
// not an entry of the list.
void RotateWallpaper();
// Writes the logon entry ("<executable name> /rotate") and confirms it.
void WriteLogonEntry();
// Deletes the logon entry; an error when there is none.
void DeleteLogonEntry();

// The list of command-line options, and showing it in a message box.
QString CommandLineHelpText();
void ShowCommandLineHelp();

// The one line that reports an error which ended the program:
// "ZVistaro02: Error <number> - <description>".
QString UnhandledErrorLine(const std::exception& error);
// Writes that line to standard error and, with an interactive display, shows
// it in a message box. Never throws.
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

// The entry after FileName in the list "ImageListContent" would load, wrapping
// at the end, found without loading the list; "Invalid Parameter" when
// FileName is not among the loaded entries.
QString NextStoredFileName(const QString& FileName);

// Stores the shared list under "ImageListContent", then clears the module's
// references to the image list and the main window. Without a list (none
// was ever needed) it stores the empty list.
void SaveImageListSetting();

}  // namespace modMain
