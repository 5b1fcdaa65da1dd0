#pragma once

#include <QString>

#include "platform/Platform.h"

// The message boxes of every platform: a modal QMessageBox on an
// interactive display (the GUI application is created for it when command
// mode has none yet); otherwise the console form:
// the prompt exactly as given (its CR LF kept) and one "\n" on standard
// output.
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(ProcessInfo& process);
  void Show(const QString& prompt, int style, const QString& caption) override;

 private:
  ProcessInfo& process_;
};

// The console form of a message box.
void WriteConsoleMessage(const QString& prompt);
