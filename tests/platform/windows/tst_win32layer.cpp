// Tests of the Win32 layer under the Windows platform classes: command-line
// splitting, executable name, registry values and their errors, the file
// pattern listing, the wallpaper call and the trace output.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "TestCheck.h"
#include "platform/windows/win32/CommandLine.h"
#include "platform/windows/win32/FileListing.h"
#include "platform/windows/win32/Process.h"
#include "platform/windows/win32/Registry.h"
#include "platform/windows/win32/Wallpaper.h"
#include "platform/windows/win32/Win32Error.h"

namespace {

// Set for a child copy of this test, which then writes its own arguments text
// to the named file and ends.
constexpr wchar_t kArgumentsOutVariable[] = L"ZV_TEST_ARGUMENTS_OUT";
constexpr wchar_t kTestKey[] = L"HKEY_CURRENT_USER\\Software\\ZVistaroLayerTests";

std::wstring TempFolder(const std::wstring& name) {
  wchar_t base[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, base);
  return std::wstring(base) + name + L"-" + std::to_wstring(GetCurrentProcessId());
}

void MakeTestFile(const std::wstring& path, const std::string& content, DWORD attributes = 0) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
  CHECK(file != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring ReadUtf16File(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// Runs the action and returns the Win32Error it throws; a check fails when it
// throws none.
win32::Win32Error ExpectError(const std::function<void()>& action, const char* what) {
  try {
    action();
  } catch (const win32::Win32Error& error) {
    return error;
  }
  check::That(false, what, __FILE__, __LINE__);
  return win32::Win32Error(ERROR_SUCCESS, L"");
}

std::vector<std::wstring> SystemSplit(const std::wstring& line) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> result(arguments, arguments + count);
  LocalFree(arguments);
  return result;
}

void TestSplittingFollowsTheSystem() {
  const std::vector<std::wstring> lines{
      L"prog",
      L"\"C:\\Program Files\\ZV\\ZVistaro02.exe\" /rotate",
      L"prog /AUTO   extra\t\ttabbed",
      L"prog \"a b\" \"\" c",
      L"prog a\\\\\\\"b \"c\\\\\" d\\\\e\\",
      L"prog \"a\"\"b\" \"\"\"x\"\"\" \"\"\"\"\"\" \"\"\"\"",
      L"\"pro g\"x y",
      L"C:\\ZV\\prog.exe \"unterminated arg",
      L"prog \x65E5\x672C \"\x03A9 b\"",
  };
  for (const std::wstring& line : lines) {
    CHECK_EQ(win32::SplitCommandLine(line), SystemSplit(line));
  }
}

void TestArgumentsText() {
  // A leading blank would make the system's splitter return an empty program
  // path and take the program for the first argument.
  CHECK_EQ(win32::ArgumentsText(L"  prog /rotate"), std::wstring(L"/rotate"));
  CHECK_EQ(win32::ArgumentsText(L"\"C:\\Program Files\\ZV\\ZVistaro02.exe\" /ROTATE"),
           std::wstring(L"/ROTATE"));
  CHECK_EQ(win32::ArgumentsText(L"prog    "), std::wstring());
  CHECK_EQ(win32::ArgumentsText(L"prog \"a b\" \"\" x\\\"y \"c\td\""),
           std::wstring(L"\"a b\" \"\" \"x\"\"y\" c\td"));
}

int WriteOwnArgumentsText(const std::wstring& outPath) {
  const std::wstring text = win32::CommandLineArgumentsText();
  std::ofstream out(outPath.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(text.data()),
            static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
  return 0;
}

void TestOwnProcessArguments() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring outPath = TempFolder(L"zv-arguments") + L".txt";
  SetEnvironmentVariableW(kArgumentsOutVariable, outPath.c_str());
  std::wstring commandLine = L"  \"some folder\\ZVistaro02.exe\" /Rotate \"a b\" \x65E5\x672C";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process);
  SetEnvironmentVariableW(kArgumentsOutVariable, nullptr);
  if (!CHECK(started)) return;
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CHECK_EQ(ReadUtf16File(outPath), std::wstring(L"/Rotate \"a b\" \x65E5\x672C"));
  DeleteFileW(outPath.c_str());
  CHECK_EQ(win32::ExecutableBaseName(), std::wstring(L"tst_win32layer"));
}

void TestRegistryPaths() {
  const win32::RegistryValuePath run = win32::SplitRegistryPath(
      L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Zorvane Vistaro 0.2 "
      L"Wallpaper Rotation");
  CHECK_EQ(run.rootName, std::wstring(L"HKEY_CURRENT_USER"));
  CHECK_EQ(run.subKey, std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"));
  CHECK_EQ(run.valueName, std::wstring(L"Zorvane Vistaro 0.2 Wallpaper Rotation"));
  CHECK_EQ(win32::SplitRegistryPath(L"hkcu\\Software\\V").rootName,
           std::wstring(L"HKEY_CURRENT_USER"));
  const std::vector<std::wstring> refused{L"",
                                          L"HKEY_NOWHERE\\Software\\V",
                                          L"HKCU\\OnlyAValue",
                                          L"HKCU\\Software\\",
                                          L"HKCU\\\\V",
                                          std::wstring(L"HKCU\\Software\\V\0W", 17)};
  for (const std::wstring& path : refused) {
    const auto error = ExpectError([&] { win32::SplitRegistryPath(path); }, "path refused");
    CHECK_EQ(error.Code(), ERROR_INVALID_PARAMETER);
  }
}

std::wstring ReadRegistryText(const std::wstring& subKey, const std::wstring& name, DWORD* type) {
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, subKey.c_str(), name.c_str(), RRF_RT_ANY, type, buffer,
                   &size) != ERROR_SUCCESS) {
    *type = REG_NONE;
    return L"<missing>";
  }
  return buffer;
}

void TestRegistryValues() {
  const std::wstring subKey = L"Software\\ZVistaroLayerTests\\Created";
  const std::wstring path = std::wstring(kTestKey) + L"\\Created\\Wert \x03A9";
  const std::wstring text = L"\x0141\x00F3\x0064\x017A \x65E5\x672C /rotate";
  win32::WriteRegistryString(path, text);
  DWORD type = REG_NONE;
  CHECK_EQ(ReadRegistryText(subKey, L"Wert \x03A9", &type), text);
  CHECK_EQ(type, REG_SZ);

  const auto nul = ExpectError(
      [&] { win32::WriteRegistryString(path, std::wstring(L"cut\0short", 9)); }, "NUL refused");
  CHECK_EQ(nul.Code(), ERROR_INVALID_PARAMETER);
  CHECK_EQ(ReadRegistryText(subKey, L"Wert \x03A9", &type), text);

  win32::DeleteRegistryValue(path);
  CHECK_EQ(ReadRegistryText(subKey, L"Wert \x03A9", &type), std::wstring(L"<missing>"));
  const auto noKey = ExpectError(
      [] { win32::DeleteRegistryValue(std::wstring(kTestKey) + L"\\Missing\\V"); }, "no key");
  CHECK_EQ(noKey.Code(), ERROR_FILE_NOT_FOUND);
  CHECK_EQ(noKey.HResult(), static_cast<std::int32_t>(0x80070002u));
  CHECK(!noKey.SystemText().empty() && noKey.SystemText().back() != L'\n');
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZVistaroLayerTests");
}

// Every entry of the folder in the system's order, nothing skipped.
std::vector<std::wstring> RawListing(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.emplace_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// Removes the folder and what it holds, one level deep. Process numbers come
// back under Wine, so a folder of an earlier run may still be there.
void RemoveFolder(const std::wstring& folder) {
  for (const std::wstring& name : RawListing(folder + L"\\*")) {
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
  }
  RemoveDirectoryW(folder.c_str());
}

void TestPatternListing() {
  const std::wstring folder = TempFolder(L"zv-listing");
  RemoveFolder(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::vector<std::wstring> plain{
      L"k.bmp", L"B.bmp", L"z1.bmp", L"a.bmp", L"\x65E5\x672C.bmp", L"m2.bmp", L"c.bmp"};
  for (const std::wstring& name : plain) MakeTestFile(folder + L"\\" + name, "x");
  MakeTestFile(folder + L"\\notes.txt", "x");
  MakeTestFile(folder + L"\\h.bmp", "x", FILE_ATTRIBUTE_HIDDEN);
  MakeTestFile(folder + L"\\s.bmp", "x", FILE_ATTRIBUTE_SYSTEM);
  CreateDirectoryW((folder + L"\\folder.bmp").c_str(), nullptr);

  // Mixed letter case: Windows and Wine list case-insensitively, so an
  // ordinal sort of the names would show.
  const std::vector<std::wstring> listed = win32::ListPlainFiles(folder + L"\\*.bmp");
  std::vector<std::wstring> inSystemOrder;
  for (const std::wstring& name : RawListing(folder + L"\\*")) {
    if (std::find(plain.begin(), plain.end(), name) != plain.end()) inSystemOrder.push_back(name);
  }
  CHECK_EQ(listed, inSystemOrder);
  CHECK_EQ(listed.size(), plain.size());

  std::vector<std::wstring> single = win32::ListPlainFiles(folder + L"\\?.bmp");
  std::sort(single.begin(), single.end());
  CHECK_EQ(single, (std::vector<std::wstring>{L"B.bmp", L"a.bmp", L"c.bmp", L"k.bmp"}));
  const std::vector<std::wstring> none;
  CHECK_EQ(win32::ListPlainFiles(folder + L"\\*.png"), none);
  CHECK_EQ(win32::ListPlainFiles(folder + L"\\missing\\*.bmp"), none);
  CHECK_EQ(win32::ListPlainFiles(folder + L"\\folder.bmp"), none);
  CHECK_EQ(win32::ListPlainFiles(folder + L"\\"), none);
  CHECK_EQ(win32::ListPlainFiles(L""), none);
  CHECK_EQ(win32::ListPlainFiles(folder + std::wstring(L"\\k.bmp\0*", 8)), none);
  RemoveFolder(folder);
}

bool UnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring CurrentWallpaper() {
  wchar_t buffer[MAX_PATH + 1] = {};
  SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, buffer, 0);
  return buffer;
}

// A 1x1 24-bit bitmap, so that a real desktop accepts the file too.
std::string TinyBitmap() {
  const unsigned char bytes[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0,    0,    0,    40,
                                 0,   0,   0,  1, 0, 0, 0, 1, 0, 0, 0,  1,    0,    24,   0,
                                 0,   0,   0,  0, 4, 0, 0, 0, 0, 0, 0,  0,    0,    0,    0,
                                 0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0x30, 0x70, 0xC0, 0};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

void TestWallpaperKeepsWideName() {
  if (!UnderWine()) {
    std::printf("wallpaper test skipped: it would change this desktop\n");
    return;
  }
  const std::wstring folder = TempFolder(L"zv-wallpaper");
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring file = folder + L"\\\x0141\x00F3\x0064\x017A \x65E5\x672C \x03A9.bmp";
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, file.c_str(), -1, nullptr, 0, nullptr, &lossy);
  CHECK(lossy);  // the name really lies outside the ANSI code page
  MakeTestFile(file, TinyBitmap());
  win32::SetDesktopWallpaper(file);
  CHECK_EQ(CurrentWallpaper(), file);

  // An empty name would remove the wallpaper; a NUL would cut the name short.
  for (const std::wstring& bad : {std::wstring(), file.substr(0, 3) + L'\0' + file.substr(3)}) {
    const auto error = ExpectError([&] { win32::SetDesktopWallpaper(bad); }, "name refused");
    CHECK_EQ(error.Code(), ERROR_INVALID_PARAMETER);
  }
  CHECK_EQ(CurrentWallpaper(), file);
}

std::string capturedTrace;

LONG CALLBACK CaptureDebugOutput(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  if (record.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
    capturedTrace += check::Utf8(reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]));
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  if (record.ExceptionCode == DBG_PRINTEXCEPTION_C) {
    capturedTrace += reinterpret_cast<const char*>(record.ExceptionInformation[1]);
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

void TestTraceReachesDebugger() {
  void* handler = AddVectoredExceptionHandler(1, CaptureDebugOutput);
  win32::WriteDebugTrace(L"* Error (Number:=-2147213312, Source:='')");
  RemoveVectoredExceptionHandler(handler);
  CHECK_EQ(capturedTrace, std::string("* Error (Number:=-2147213312, Source:='')\n"));
}

void TestErrorTexts() {
  CHECK(win32::SystemErrorText(ERROR_ACCESS_DENIED).find(L"ccess") != std::wstring::npos);
  CHECK_EQ(win32::SystemErrorText(0x2FFFFFFF), std::wstring(L"Win32 error 805306367"));
}

}  // namespace

int main() {
  wchar_t outPath[MAX_PATH];
  if (GetEnvironmentVariableW(kArgumentsOutVariable, outPath, MAX_PATH) > 0) {
    return WriteOwnArgumentsText(outPath);
  }
  TestSplittingFollowsTheSystem();
  TestArgumentsText();
  TestOwnProcessArguments();
  TestRegistryPaths();
  TestRegistryValues();
  TestPatternListing();
  TestWallpaperKeepsWideName();
  TestTraceReachesDebugger();
  TestErrorTexts();
  return check::Summary("tst_win32layer");
}
