#include "platform/windows/win32/Win32Error.h"

#include <windows.h>

#include <utility>

namespace win32 {

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length,
                      nullptr, nullptr);
  return result;
}

}  // namespace

Win32Error::Win32Error(unsigned long code, std::wstring context)
    : code_(code), context_(std::move(context)), systemText_(SystemErrorText(code)) {
  what_ = Utf8(Message());
}

std::int32_t Win32Error::HResult() const {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(HRESULT_FROM_WIN32(code_)));
}

std::wstring Win32Error::Message() const {
  if (context_.empty()) return systemText_;
  return context_ + L": " + systemText_;
}

std::wstring SystemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 ? std::wstring(buffer, length) : std::wstring();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) text = L"Win32 error " + std::to_wstring(code);
  return text;
}

bool HoldsNul(const std::wstring& text) { return text.find(L'\0') != std::wstring::npos; }

}  // namespace win32
