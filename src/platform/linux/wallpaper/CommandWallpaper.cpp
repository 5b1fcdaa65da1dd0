#include "platform/linux/wallpaper/CommandWallpaper.h"

#include <QFileInfo>
#include <QProcess>

#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

constexpr char kNoProgram[] = "%1 names no program; set ZVISTARO_WALLPAPER_COMMAND to one";
constexpr char kNotStarted[] =
    "%1 could not be run (%2); check that the program \"%3\" is installed and on the PATH";
constexpr char kNotAccepted[] = "%1 did not accept \"%2\" (%3)";

}  // namespace

CommandWallpaper::CommandWallpaper(QString command, QString name, FileName fileName)
    : command_(std::move(command)), name_(std::move(name)), fileName_(fileName) {}

void CommandWallpaper::Set(const QString& file) {
  QStringList arguments = command_.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (arguments.isEmpty()) RefuseWallpaper(QString::fromLatin1(kNoProgram).arg(name_));
  const QString program = arguments.takeFirst();
  arguments.append(fileName_ == FileName::kAbsolute ? QFileInfo(file).absoluteFilePath() : file);
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  process.start(program, arguments);
  if (!process.waitForStarted(-1)) {
    RefuseWallpaper(QString::fromLatin1(kNotStarted).arg(name_, process.errorString(), program));
  }
  process.waitForFinished(-1);
  if (process.exitStatus() != QProcess::NormalExit) {
    RefuseWallpaper(QString::fromLatin1(kNotAccepted)
                        .arg(name_, file, QStringLiteral("it crashed: ") + process.errorString()));
  }
  if (process.exitCode() != 0) {
    RefuseWallpaper(QString::fromLatin1(kNotAccepted)
                        .arg(name_, file,
                             QStringLiteral("exit status ") + QString::number(process.exitCode())));
  }
}
