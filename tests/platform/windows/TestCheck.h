#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

// Small checks for the Win32 layer's tests, which run without Qt (they are
// cross-built with mingw-w64 and run under Wine). A failed check prints its
// place and values; the test's exit status counts the failures.
namespace check {

inline int failures = 0;

inline std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length,
                      nullptr, nullptr);
  return result;
}

inline std::string Show(const std::wstring& text) { return "\"" + Utf8(text) + "\""; }
inline std::string Show(const std::string& text) { return "\"" + text + "\""; }
inline std::string Show(long long number) { return std::to_string(number); }
inline std::string Show(const std::vector<std::wstring>& items) {
  std::string text = "{";
  for (const std::wstring& item : items) text += (text.size() > 1 ? ", " : "") + Show(item);
  return text + "}";
}

inline bool That(bool ok, const char* what, const char* file, int line) {
  if (!ok) {
    ++failures;
    std::fprintf(stderr, "FAIL %s:%d: %s\n", file, line, what);
  }
  return ok;
}

template <typename A, typename B>
bool Equal(const A& actual, const B& expected, const char* what, const char* file, int line) {
  if constexpr (std::is_integral_v<A> && std::is_integral_v<B>) {
    if (static_cast<long long>(actual) == static_cast<long long>(expected)) return true;
  } else if (actual == expected) {
    return true;
  }
  ++failures;
  std::fprintf(stderr, "FAIL %s:%d: %s\n  actual:   %s\n  expected: %s\n", file, line, what,
               Show(actual).c_str(), Show(expected).c_str());
  return false;
}

inline int Summary(const char* name) {
  std::printf("%s: %d failed check(s)\n", name, failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace check

#define CHECK(cond) check::That((cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) \
  check::Equal((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
