// Reads back the resources that ZVistaro02.rc gives the executable (this test
// is linked with them): the version record, the string table and the icon.
// Arguments: the strings the program's own string table holds, each as
// "<identifier>=<text>", so that the two tables cannot drift apart.
#include <windows.h>

#include <cstdlib>

#include "TestCheck.h"
#include "resources/Version.h"

namespace {

std::wstring Wide(const std::string& text) {
  std::wstring result(text.size(), L'\0');
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         result.data(), static_cast<int>(result.size()));
  result.resize(static_cast<size_t>(length));
  return result;
}

std::vector<char> OwnVersionRecord() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  DWORD handle = 0;
  std::vector<char> record(GetFileVersionInfoSizeW(self, &handle));
  if (!CHECK(!record.empty()) ||
      !CHECK(GetFileVersionInfoW(self, 0, static_cast<DWORD>(record.size()), record.data()))) {
    record.clear();
  }
  return record;
}

void* Query(std::vector<char>& record, const std::wstring& what, UINT* length) {
  void* value = nullptr;
  if (!VerQueryValueW(record.data(), what.c_str(), &value, length)) return nullptr;
  return value;
}

std::wstring Text(std::vector<char>& record, const wchar_t* field) {
  UINT length = 0;
  const auto* value = static_cast<const wchar_t*>(
      Query(record, std::wstring(L"\\StringFileInfo\\040704B0\\") + field, &length));
  return value != nullptr ? std::wstring(value) : L"<missing>";
}

void TestVersionRecord() {
  std::vector<char> record = OwnVersionRecord();
  if (record.empty()) return;
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(record, L"\\", &length));
  if (!CHECK(fixed != nullptr)) return;
  CHECK_EQ(fixed->dwSignature, 0xFEEF04BDul);
  const DWORD high = MAKELONG(version::kMinor, version::kMajor);
  const DWORD low = MAKELONG(version::kRevision, 0);
  CHECK_EQ(fixed->dwFileVersionMS, high);
  CHECK_EQ(fixed->dwFileVersionLS, low);
  CHECK_EQ(fixed->dwProductVersionMS, high);
  CHECK_EQ(fixed->dwProductVersionLS, low);

  const auto* translation =
      static_cast<const WORD*>(Query(record, L"\\VarFileInfo\\Translation", &length));
  if (CHECK(translation != nullptr)) {
    CHECK_EQ(length, 4u);  // exactly one language and code page
    CHECK_EQ(translation[0], 0x0407);
    CHECK_EQ(translation[1], 1200);
  }
  CHECK_EQ(Text(record, L"FileVersion"), Wide(version::kVersionText));
  CHECK_EQ(Text(record, L"ProductVersion"), Wide(version::kVersionText));
  CHECK_EQ(Text(record, L"ProductName"), Wide(version::kProductName));
  CHECK_EQ(Text(record, L"FileDescription"), Wide(version::kFileDescription));
  CHECK_EQ(Text(record, L"InternalName"), Wide(version::kInternalName));
  CHECK_EQ(Text(record, L"OriginalFilename"), Wide(version::kOriginalFilename));
  for (const wchar_t* own : {L"Comments", L"CompanyName", L"LegalCopyright"}) {
    CHECK(Text(record, own) != L"<missing>" && !Text(record, own).empty());
  }
}

std::wstring LoadedString(UINT id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : L"<none>";
}

void TestStringTable(int argc, char** argv) {
  CHECK_EQ(argc - 1, 3);
  UINT last = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string entry = argv[i];
    const size_t equals = entry.find('=');
    if (!CHECK(equals != std::string::npos)) continue;
    last = static_cast<UINT>(std::strtoul(entry.substr(0, equals).c_str(), nullptr, 10));
    CHECK_EQ(LoadedString(last), Wide(entry.substr(equals + 1)));
  }
  CHECK_EQ(LoadedString(1000), std::wstring(L"<none>"));
  CHECK_EQ(LoadedString(last + 1), std::wstring(L"<none>"));
}

void TestIcon() {
  CHECK(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0,
                   LR_DEFAULTSIZE) != nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  TestVersionRecord();
  TestStringTable(argc, argv);
  TestIcon();
  return check::Summary("tst_resources");
}
