#include "platform/windows/win32/CommandLine.h"

namespace win32 {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program path: no escapes, a leading quote runs to the next quote.
std::wstring ReadProgramPath(const std::wstring& line, size_t& pos) {
  std::wstring path;
  if (pos < line.size() && line[pos] == L'"') {
    const size_t end = line.find(L'"', pos + 1);
    path = line.substr(pos + 1, end == std::wstring::npos ? std::wstring::npos : end - pos - 1);
    pos = end == std::wstring::npos ? line.size() : end + 1;
  } else {
    while (pos < line.size() && !IsBlank(line[pos])) path += line[pos++];
  }
  return path;
}

// Reads one argument from pos (not at a blank) to the blank that ends it.
std::wstring ReadArgument(const std::wstring& line, size_t& pos) {
  std::wstring argument;
  int quotes = 0;  // 1 inside quotes; counts on through a run of quotes
  size_t backslashes = 0;
  while (pos < line.size() && (quotes % 2 == 1 || !IsBlank(line[pos]))) {
    const wchar_t c = line[pos++];
    if (c == L'\\') {
      ++backslashes;
      argument += c;
      continue;
    }
    if (c != L'"') {
      backslashes = 0;
      argument += c;
      continue;
    }
    argument.erase(argument.size() - (backslashes + 1) / 2);
    if (backslashes % 2 == 1) {
      backslashes = 0;
      argument += L'"';
      continue;
    }
    backslashes = 0;
    ++quotes;
    // Further quotes right after this one: every third in a row is literal.
    while (pos < line.size() && line[pos] == L'"') {
      ++pos;
      if (++quotes == 3) {
        argument += L'"';
        quotes = 0;
      }
    }
    if (quotes == 2) quotes = 0;
  }
  return argument;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  size_t pos = 0;
  while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
  std::vector<std::wstring> arguments{ReadProgramPath(commandLine, pos)};
  while (true) {
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    if (pos >= commandLine.size()) break;
    arguments.push_back(ReadArgument(commandLine, pos));
  }
  return arguments;
}

std::wstring JoinArguments(const std::vector<std::wstring>& arguments) {
  std::wstring text;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    if (i > 0) text += L' ';
    if (!argument.empty() && argument.find_first_of(L" \"") == std::wstring::npos) {
      text += argument;
      continue;
    }
    text += L'"';
    for (const wchar_t c : argument) text += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
    text += L'"';
  }
  return text;
}

std::wstring ArgumentsText(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments = SplitCommandLine(commandLine);
  arguments.erase(arguments.begin());
  return JoinArguments(arguments);
}

}  // namespace win32
