#pragma once

#include <string>

namespace win32 {

// The arguments the process was started with (GetCommandLineW without the
// program path), joined so that the program's argument list splits them back.
std::wstring CommandLineArgumentsText();

// Full path of the running executable, in native form.
std::wstring ExecutablePath();

// Base name of the running executable, without folder and extension.
std::wstring ExecutableBaseName();

// Whether the process runs in a window station a user can see (not in a
// service's), so that windows and message boxes reach someone.
bool HasInteractiveWindowStation();

// Writes one trace line to the debugger output.
void WriteDebugTrace(const std::wstring& line);

}  // namespace win32
