#include "platform/windows/win32/FileListing.h"

#include <windows.h>

#include "platform/windows/win32/Win32Error.h"

namespace win32 {

namespace {

constexpr DWORD kSkippedAttributes =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

std::vector<std::wstring> ListPlainFiles(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  if (pattern.empty() || HoldsNul(pattern)) return names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & kSkippedAttributes) == 0) names.emplace_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

}  // namespace win32
