#pragma once

#include <string>
#include <vector>

namespace win32 {

// Splits a Windows command line into the program path and its arguments by
// the rules of CommandLineToArgvW: the program path runs to the next quote
// when it begins with one, else to the first blank or tab; arguments are
// separated by blanks and tabs, quotes group, 2n backslashes before a quote
// give n backslashes and a grouping quote, 2n + 1 give n and a literal quote,
// and a third quote in a row is a literal one. Blanks before the program path
// are skipped, so they never make an empty argument.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// Joins arguments with one blank, quoting each one that is empty or holds a
// blank or a quote (a quote inside doubled), so that the program's argument
// list splits the text back into exactly these arguments.
std::wstring JoinArguments(const std::vector<std::wstring>& arguments);

// The arguments of a command line without the program path, joined as above.
std::wstring ArgumentsText(const std::wstring& commandLine);

}  // namespace win32
