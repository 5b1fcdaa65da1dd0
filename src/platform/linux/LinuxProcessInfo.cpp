#include "platform/linux/LinuxProcessInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstring>

#include "kit/KitGlobal.h"

namespace {

bool NeedsQuotes(const QString& argument) {
  return argument.isEmpty() || argument.contains(QLatin1Char(' ')) ||
         argument.contains(QLatin1Char('"'));
}

bool XServerAnswers(const QByteArray& display) {
  xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

QString WaylandSocketPath(const QString& display) {
  if (QDir::isAbsolutePath(display)) return display;
  return qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + display;
}

bool WaylandServerAnswers(const QString& display) {
  const QByteArray path = QFile::encodeName(WaylandSocketPath(display));
  sockaddr_un address{};
  if (path.size() >= static_cast<qsizetype>(sizeof(address.sun_path))) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return answers;
}

// Qt can only open a Wayland display when its Wayland platform plugin is
// installed; otherwise it would abort instead of showing anything.
bool QtCanUseWayland() {
  const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                       QStringLiteral("/platforms"));
  return !platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty();
}

}  // namespace

QString JoinCommandLine(const QStringList& arguments) {
  QStringList parts;
  for (const QString& argument : arguments) {
    if (!NeedsQuotes(argument)) {
      parts += argument;
      continue;
    }
    QString quoted = argument;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    parts += QLatin1Char('"') + quoted + QLatin1Char('"');
  }
  return parts.join(QLatin1Char(' '));
}

QStringList ProcessArguments() {
  QFile file(QStringLiteral("/proc/self/cmdline"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray content = file.readAll();
  QStringList arguments;
  // Every argument ends in NUL, the last one too.
  qsizetype start = 0;
  for (qsizetype end = content.indexOf('\0'); end >= 0; end = content.indexOf('\0', start)) {
    arguments += QFile::decodeName(content.mid(start, end - start));
    start = end + 1;
  }
  return arguments;
}

bool DetectInteractiveDisplay() {
  const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM").section(QLatin1Char(':'), 0, 0);
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    return false;
  }
  const QByteArray x11 = qgetenv("DISPLAY");
  if (!x11.isEmpty() && XServerAnswers(x11)) return true;
  const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
  return !wayland.isEmpty() && WaylandServerAnswers(wayland) && QtCanUseWayland();
}

QString LinuxProcessInfo::CommandLineText() { return JoinCommandLine(ProcessArguments().mid(1)); }

QString LinuxProcessInfo::ExecutableName() {
  const QStringList arguments = ProcessArguments();
  QString started = arguments.isEmpty() ? QString() : arguments.first();
  // A program may be started with no argv[0] at all; the file still has a name.
  if (started.isEmpty()) started = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  return QFileInfo(started).completeBaseName();
}

QString LinuxProcessInfo::ExecutablePath() {
  return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

bool LinuxProcessInfo::HasInteractiveDisplay() {
  if (!interactive_) interactive_ = DetectInteractiveDisplay();
  return *interactive_;
}

void LinuxProcessInfo::Trace(const QString& line) { WriteDefaultTrace(line); }
