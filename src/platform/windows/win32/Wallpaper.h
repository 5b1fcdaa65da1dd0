#pragma once

#include <string>

namespace win32 {

// Makes the file the desktop wallpaper, stores the choice in the user's
// profile and tells the running programs. The name goes to the system as
// wide text, so names with characters outside the ANSI code page arrive
// unchanged. Throws Win32Error when the system refuses the file; an empty
// name or one holding NUL is refused before the call, since the system would
// read it as "no wallpaper" or as a shorter name.
void SetDesktopWallpaper(const std::wstring& file);

}  // namespace win32
