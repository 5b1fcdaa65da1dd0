#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include "platform/Platform.h"

// The running process as the kernel shows it (/proc/self/cmdline), and the
// session's display.
class LinuxProcessInfo : public ProcessInfo {
 public:
  QString CommandLineText() override;
  QString ExecutableName() override;
  // Where /proc/self/exe leads.
  QString ExecutablePath() override;
  // Asked once and remembered: opening a display connection costs time.
  bool HasInteractiveDisplay() override;
  // Goes to the file named by ZVISTARO_TRACE ("-" for standard error).
  void Trace(const QString& line) override;

 private:
  std::optional<bool> interactive_;
};

// The arguments joined with blanks, each quoted when it is empty or holds a
// blank or a quote (a quote inside written twice), so that splitting the
// text by the command-line rules gives back exactly these arguments.
QString JoinCommandLine(const QStringList& arguments);

// The program path and the arguments of this process.
QStringList ProcessArguments();

// Whether a display can be shown on: DISPLAY or WAYLAND_DISPLAY names a
// server that accepts a connection, and QT_QPA_PLATFORM does not ask for
// offscreen or minimal output.
bool DetectInteractiveDisplay();
