#pragma once

#include <string>
#include <vector>

namespace win32 {

// The names (without folder) of the plain files matching a path whose last
// element may hold "*" and "?", in the order the file system lists them.
// Folders, hidden files and system files are left out. No match, a missing
// folder or a pattern the system rejects give an empty list.
std::vector<std::wstring> ListPlainFiles(const std::wstring& pattern);

}  // namespace win32
