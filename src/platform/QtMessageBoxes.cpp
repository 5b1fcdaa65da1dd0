#include "platform/QtMessageBoxes.h"

#include <QMessageBox>

#include <cstdio>

#include "platform/GuiApplication.h"

namespace {

// Message box styles: the icon is the style's 16s digit.
constexpr int kIconMask = 0x70;
constexpr int kCritical = 16;
constexpr int kQuestion = 32;
constexpr int kExclamation = 48;
constexpr int kInformation = 64;

QMessageBox::Icon IconOfStyle(int style) {
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

QtMessageBoxes::QtMessageBoxes(ProcessInfo& process, LineEnds lineEnds)
    : process_(process), lineEnds_(lineEnds) {}

void QtMessageBoxes::Show(const QString& given, int style, const QString& caption) {
  QString prompt = given;
  if (lineEnds_ == LineEnds::kLf) prompt.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (!process_.HasInteractiveDisplay()) {
    const QByteArray bytes = (prompt + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
    return;
  }
  EnsureGuiApplication();
  QMessageBox box(IconOfStyle(style), caption, prompt, QMessageBox::Ok);
  box.exec();
}
