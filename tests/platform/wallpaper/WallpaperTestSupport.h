#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// An Xvfb of the test's own on the first free display from :50 to :69,
// stopped when the object goes.
class PrivateXServer {
 public:
  // screen as Xvfb takes it, e.g. "320x240x24".
  explicit PrivateXServer(const QString& screen);
  ~PrivateXServer();
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool IsRunning() const { return !display_.isEmpty(); }
  QString Display() const { return display_; }

 private:
  bool StartOn(int number, const QString& screen);
  QProcess process_;
  QString display_;
};

// This process's environment without the variables that choose a back-end.
QProcessEnvironment CleanEnvironment();

// What one run of wallpaper_probe did: it builds the session's wallpaper
// back-end from its environment and sets the file, as the program does.
struct ProbeResult {
  bool accepted = false;
  int exitCode = -1;
  QByteArray trace;  // the refusal reasons it traced
};

// Runs the probe while this process's event loop goes on, so that services
// of the test's own (on a bus or a socket) can answer it.
ProbeResult RunProbe(const QString& file, const QProcessEnvironment& environment,
                     const QString& workingDirectory = QString());

// A D-Bus session bus of the test's own, stopped when the object goes.
// Services the bus starts on demand get the environment given.
class PrivateBus {
 public:
  explicit PrivateBus(const QProcessEnvironment& environment = CleanEnvironment());
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  QString Address() const { return address_; }

 private:
  QProcess process_;
  QString address_;
};
