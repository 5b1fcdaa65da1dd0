#include <QMessageBox>

#include <cstdio>

#include "platform/windows/WindowsServices.h"

namespace {

// The icon bits of the classic message box styles.
constexpr int kIconMask = 0x70;
constexpr int kCritical = 16;
constexpr int kQuestion = 32;
constexpr int kExclamation = 48;
constexpr int kInformation = 64;

QMessageBox::Icon IconOf(int style) {
  switch (style & kIconMask) {
    case kCritical:
      return QMessageBox::Critical;
    case kQuestion:
      return QMessageBox::Question;
    case kExclamation:
      return QMessageBox::Warning;
    case kInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

void WindowsMessageBoxes::Show(const QString& prompt, int style, const QString& caption) {
  if (!CurrentPlatform().process->HasInteractiveDisplay()) {
    // Nobody could close a box: the prompt goes to standard output instead.
    std::fputs(qPrintable(prompt + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
    return;
  }
  QMessageBox box(IconOf(style), caption, prompt, QMessageBox::Ok);
  box.exec();
}
