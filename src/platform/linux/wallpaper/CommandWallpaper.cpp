#include "platform/linux/wallpaper/CommandWallpaper.h"

#include <QFileInfo>
#include <QProcess>

#include "platform/linux/wallpaper/LinuxWallpaper.h"

CommandWallpaper::CommandWallpaper(QString command, FileName fileName)
    : command_(std::move(command)), fileName_(fileName) {}

bool CommandWallpaper::Set(const QString& file) {
  QStringList arguments = command_.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (arguments.isEmpty()) {
    TraceRefusal(QStringLiteral("ZVISTARO_WALLPAPER_COMMAND names no program"));
    return false;
  }
  const QString program = arguments.takeFirst();
  arguments.append(fileName_ == FileName::kAbsolute ? QFileInfo(file).absoluteFilePath() : file);
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(program, arguments);
  if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
    TraceRefusal(program + QStringLiteral(" did not run: ") + process.errorString());
    return false;
  }
  if (process.exitCode() != 0) {
    TraceRefusal(program + QStringLiteral(" exited with status ") +
                 QString::number(process.exitCode()));
    return false;
  }
  return true;
}
