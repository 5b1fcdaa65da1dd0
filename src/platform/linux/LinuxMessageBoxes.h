#pragma once

#include <QString>

#include "platform/Platform.h"

// Modal QMessageBox on an interactive display; otherwise the console form:
// the prompt exactly as given (its CR LF kept) and one "\n" on standard
// output.
class LinuxMessageBoxes : public MessageBoxes {
 public:
  explicit LinuxMessageBoxes(ProcessInfo& process);
  void Show(const QString& prompt, int style, const QString& caption) override;

 private:
  ProcessInfo& process_;
};

// The console form of a message box.
void WriteConsoleMessage(const QString& prompt);
