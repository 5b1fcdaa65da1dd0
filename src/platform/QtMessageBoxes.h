#pragma once

#include <QString>

#include "platform/Platform.h"

// The message boxes of every platform: a modal QMessageBox on an
// interactive display (the GUI application is created for it when command
// mode has none yet); otherwise the console form: the prompt and one "\n" on
// standard output. The program's texts end their lines with CR LF; on a
// platform whose lines end with LF alone (kLf) both forms show them so.
class QtMessageBoxes : public MessageBoxes {
 public:
  enum class LineEnds { kCrLf, kLf };
  QtMessageBoxes(ProcessInfo& process, LineEnds lineEnds);
  void Show(const QString& prompt, int style, const QString& caption) override;

 private:
  ProcessInfo& process_;
  LineEnds lineEnds_;
};
