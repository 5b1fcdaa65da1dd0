#include "platform/windows/win32/Wallpaper.h"

#include <windows.h>

#include "platform/windows/win32/Win32Error.h"

namespace win32 {

void SetDesktopWallpaper(const std::wstring& file) {
  const std::wstring context = L"The desktop refused the wallpaper \"" + file + L"\"";
  if (file.empty() || HoldsNul(file)) throw Win32Error(ERROR_INVALID_PARAMETER, context);
  std::wstring name = file;  // the call takes a writable buffer
  if (!SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, name.data(),
                             SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE)) {
    const DWORD code = GetLastError();
    // Some refusals leave no code; "success" would be a misleading reason.
    throw Win32Error(code != ERROR_SUCCESS ? code : ERROR_INVALID_DATA, context);
  }
}

}  // namespace win32
