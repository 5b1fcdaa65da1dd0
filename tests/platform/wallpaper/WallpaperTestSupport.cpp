#include "WallpaperTestSupport.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <xcb/xcb.h>

namespace {

constexpr int kFirstDisplay = 50;
constexpr int kLastDisplay = 69;

bool DisplayTaken(int number) {
  return QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
         QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number));
}

bool CanConnect(const QString& display) {
  xcb_connection_t* connection = xcb_connect(display.toLatin1().constData(), nullptr);
  const bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return ok;
}

}  // namespace

PrivateXServer::PrivateXServer(const QString& screen) {
  for (int number = kFirstDisplay; number <= kLastDisplay; ++number) {
    if (!DisplayTaken(number) && StartOn(number, screen)) return;
  }
}

PrivateXServer::~PrivateXServer() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) process_.kill();
  process_.waitForFinished(5000);
}

bool PrivateXServer::StartOn(int number, const QString& screen) {
  const QString display = QStringLiteral(":%1").arg(number);
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(QStringLiteral("Xvfb"),
                 {display, QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"), screen});
  if (!process_.waitForStarted(5000)) return false;
  // Xvfb gives no sign of readiness other than accepting connections; it
  // exits at once when another server won the display number.
  QDeadlineTimer deadline(15000);
  while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
    if (CanConnect(display)) {
      display_ = display;
      return true;
    }
    QThread::msleep(50);
  }
  process_.kill();
  process_.waitForFinished(5000);
  return false;
}

ProbeResult RunProbe(const QString& file, const QProcessEnvironment& environment,
                     const QString& workingDirectory) {
  QProcess probe;
  probe.setProcessEnvironment(environment);
  probe.setWorkingDirectory(workingDirectory);
  QEventLoop loop;
  QObject::connect(&probe, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&probe, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(60000, &loop, &QEventLoop::quit);
  probe.start(QStringLiteral(ZV_WALLPAPER_PROBE), {file});
  if (probe.state() != QProcess::NotRunning) loop.exec();
  ProbeResult result;
  if (probe.state() != QProcess::NotRunning || probe.exitStatus() != QProcess::NormalExit) {
    probe.kill();
    probe.waitForFinished();
    result.trace = "probe did not finish: " + probe.readAllStandardError();
    return result;
  }
  result.exitCode = probe.exitCode();
  result.accepted = result.exitCode == 0;
  result.trace = probe.readAllStandardError();
  return result;
}

PrivateBus::PrivateBus(const QProcessEnvironment& environment) {
  process_.setProcessEnvironment(environment);
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
  QDeadlineTimer deadline(15000);
  while (!process_.canReadLine() && process_.waitForReadyRead(deadline.remainingTime())) {
  }
  address_ = QString::fromUtf8(process_.readLine().trimmed());
}

PrivateBus::~PrivateBus() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) process_.kill();
  process_.waitForFinished(5000);
}

QProcessEnvironment CleanEnvironment() {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"ZVISTARO_WALLPAPER_COMMAND", "XDG_CURRENT_DESKTOP", "SWAYSOCK",
                           "DISPLAY", "WAYLAND_DISPLAY", "KDE_SESSION_VERSION"}) {
    environment.remove(QString::fromLatin1(name));
  }
  return environment;
}
