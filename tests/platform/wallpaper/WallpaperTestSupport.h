#pragma once

#include <QProcess>
#include <QString>

// An Xvfb of the test's own on a free display, stopped when the object goes.
class PrivateXServer {
 public:
  // screen as Xvfb takes it, e.g. "320x240x24".
  explicit PrivateXServer(const QString& screen) {
    process_.start(QStringLiteral("Xvfb"),
                   {"-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", screen});
    // Xvfb writes the number of the display it took once it accepts clients.
    if (process_.waitForReadyRead(15000)) display_ = ":" + process_.readLine().trimmed();
  }
  ~PrivateXServer() {
    process_.terminate();
    process_.waitForFinished(5000);
  }
  QString Display() const { return display_; }

 private:
  QProcess process_;
  QString display_;
};
