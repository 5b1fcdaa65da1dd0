// Runs one operation of the Win32 layer for the Wine test script, which
// checks the effect with Wine's own tools:
//   win32probe regwrite <full path> <text>
//   win32probe regdelete <full path>
// Exit status 0 on success; 1 with "error <code> (<HRESULT>): <text>" on
// standard error when the layer reports a failure; 2 for bad usage.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "TestCheck.h"
#include "platform/windows/win32/Registry.h"
#include "platform/windows/win32/Win32Error.h"

int main() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  const std::vector<std::wstring> args(argv, argv + count);
  LocalFree(argv);
  try {
    if (count == 4 && args[1] == L"regwrite") {
      win32::WriteRegistryString(args[2], args[3]);
    } else if (count == 3 && args[1] == L"regdelete") {
      win32::DeleteRegistryValue(args[2]);
    } else {
      std::fprintf(stderr, "usage: win32probe regwrite PATH TEXT | regdelete PATH\n");
      return 2;
    }
  } catch (const win32::Win32Error& error) {
    std::fprintf(stderr, "error %lu (%ld): %s\n", error.Code(), static_cast<long>(error.HResult()),
                 check::Utf8(error.Message()).c_str());
    return 1;
  }
  return 0;
}
