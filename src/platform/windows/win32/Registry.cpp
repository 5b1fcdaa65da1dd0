#include "platform/windows/win32/Registry.h"

#include <windows.h>

#include <array>
#include <cwchar>
#include <cwctype>

#include "platform/windows/win32/Win32Error.h"

namespace win32 {

namespace {

struct RootKey {
  const wchar_t* name;
  const wchar_t* abbreviation;
  HKEY key;
};

const std::array<RootKey, 5> kRootKeys{{
    {L"HKEY_CURRENT_USER", L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKEY_CLASSES_ROOT", L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKEY_USERS", nullptr, HKEY_USERS},
    {L"HKEY_CURRENT_CONFIG", nullptr, HKEY_CURRENT_CONFIG},
}};

// Registry names compare without regard to letter case; root key names are
// plain ASCII.
bool SameName(const std::wstring& text, const wchar_t* name) {
  if (name == nullptr || text.size() != wcslen(name)) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (std::towupper(text[i]) != std::towupper(name[i])) return false;
  }
  return true;
}

const RootKey* FindRootKey(const std::wstring& name) {
  for (const RootKey& root : kRootKeys) {
    if (SameName(name, root.name) || SameName(name, root.abbreviation)) return &root;
  }
  return nullptr;
}

[[noreturn]] void RefusePath(const std::wstring& path) {
  throw Win32Error(ERROR_INVALID_PARAMETER, L"Not a registry value path \"" + path + L"\"");
}

// Closes the key when it goes out of scope.
class OpenKey {
 public:
  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

void Check(LSTATUS status, const std::wstring& context) {
  if (status != ERROR_SUCCESS) throw Win32Error(static_cast<unsigned long>(status), context);
}

}  // namespace

RegistryValuePath SplitRegistryPath(const std::wstring& path) {
  const size_t firstSlash = path.find(L'\\');
  const size_t lastSlash = path.rfind(L'\\');
  if (HoldsNul(path) || firstSlash == std::wstring::npos || lastSlash == firstSlash) {
    RefusePath(path);
  }
  const RootKey* root = FindRootKey(path.substr(0, firstSlash));
  RegistryValuePath split{root != nullptr ? root->name : L"",
                          path.substr(firstSlash + 1, lastSlash - firstSlash - 1),
                          path.substr(lastSlash + 1)};
  if (root == nullptr || split.subKey.empty() || split.valueName.empty()) RefusePath(path);
  return split;
}

void WriteRegistryString(const std::wstring& path, const std::wstring& value) {
  const RegistryValuePath split = SplitRegistryPath(path);
  if (HoldsNul(value)) {
    // REG_SZ ends at the first NUL: the stored text would not be the one given.
    throw Win32Error(ERROR_INVALID_PARAMETER, L"Registry text holds a NUL character");
  }
  OpenKey key;
  Check(RegCreateKeyExW(FindRootKey(split.rootName)->key, split.subKey.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.Out(), nullptr),
        L"Cannot open the registry key \"" + split.rootName + L"\\" + split.subKey + L"\"");
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  Check(RegSetValueExW(key.Get(), split.valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()), bytes),
        L"Cannot write the registry value \"" + path + L"\"");
}

void DeleteRegistryValue(const std::wstring& path) {
  const RegistryValuePath split = SplitRegistryPath(path);
  const std::wstring context = L"Cannot delete the registry value \"" + path + L"\"";
  OpenKey key;
  Check(RegOpenKeyExW(FindRootKey(split.rootName)->key, split.subKey.c_str(), 0, KEY_SET_VALUE,
                      key.Out()),
        context);
  Check(RegDeleteValueW(key.Get(), split.valueName.c_str()), context);
}

}  // namespace win32
