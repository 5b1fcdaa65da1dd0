#pragma once

#include <string>

namespace win32 {

// A registry value addressed by one full path text such as
// "HKEY_CURRENT_USER\Software\...\Run\Value name": the root key, the sub-key
// and, after the last backslash, the value name.
struct RegistryValuePath {
  std::wstring rootName;  // the full name, also when the path used an abbreviation
  std::wstring subKey;
  std::wstring valueName;
};

// Splits a full path text. The root key is HKEY_CURRENT_USER (HKCU),
// HKEY_LOCAL_MACHINE (HKLM), HKEY_CLASSES_ROOT (HKCR), HKEY_USERS or
// HKEY_CURRENT_CONFIG, in any letter case. A path without a sub-key or a value
// name, with another root or holding NUL is refused (ERROR_INVALID_PARAMETER).
RegistryValuePath SplitRegistryPath(const std::wstring& path);

// Writes the text as a REG_SZ value, creating the sub-key when it is missing
// and replacing a value of the same name.
void WriteRegistryString(const std::wstring& path, const std::wstring& value);

// Deletes the value. A missing value or sub-key is an error
// (ERROR_FILE_NOT_FOUND), as is a value that may not be deleted.
void DeleteRegistryValue(const std::wstring& path);

}  // namespace win32
