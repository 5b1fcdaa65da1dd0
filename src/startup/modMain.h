#pragma once

#include <QString>

#include <memory>

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

// Stores the shared list under "ImageListContent", then clears the module's
// references to the image list and the main window.
void SaveImageListSetting();

}  // namespace modMain
