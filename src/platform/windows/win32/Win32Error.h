#pragma once

#include <cstdint>
#include <exception>
#include <string>

// The Win32 layer: the program's few calls into the Windows API, without Qt,
// with std::wstring in and out. Failures are thrown as Win32Error, which the
// Qt-facing platform classes turn into the program's numbered errors.
namespace win32 {

// A failed Win32 call: the system error code, the system's text for it, and
// what the program was doing.
class Win32Error : public std::exception {
 public:
  Win32Error(unsigned long code, std::wstring context);

  unsigned long Code() const { return code_; }
  // The code as the HRESULT that COM callers see for it (0x8007xxxx), as a
  // signed 32-bit number.
  std::int32_t HResult() const;
  // The system's text for the code, without a trailing line break.
  const std::wstring& SystemText() const { return systemText_; }
  // What failed, a colon and the system's text.
  std::wstring Message() const;
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  unsigned long code_;
  std::wstring context_;
  std::wstring systemText_;
  std::string what_;
};

// The system's text for an error code (FormatMessageW), trailing line break
// and blanks removed; "Win32 error <code>" when the system has none.
std::wstring SystemErrorText(unsigned long code);

// True when the text holds a NUL character: such a text would be cut short at
// it by every call that takes a C string, so the layer refuses it.
bool HoldsNul(const std::wstring& text);

}  // namespace win32
