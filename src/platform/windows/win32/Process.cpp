#include "platform/windows/win32/Process.h"

#include <windows.h>

#include "platform/windows/win32/CommandLine.h"
#include "platform/windows/win32/Win32Error.h"

namespace win32 {

// Long paths can exceed MAX_PATH; the buffer grows until the name fits.
std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw Win32Error(GetLastError(), L"Cannot read the executable's name");
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring CommandLineArgumentsText() { return ArgumentsText(GetCommandLineW()); }

std::wstring ExecutableBaseName() {
  const std::wstring path = ExecutablePath();
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}

bool HasInteractiveWindowStation() {
  USEROBJECTFLAGS flags{};
  const HWINSTA station = GetProcessWindowStation();
  if (station == nullptr ||
      !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
    return false;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void WriteDebugTrace(const std::wstring& line) { OutputDebugStringW((line + L"\n").c_str()); }

}  // namespace win32
