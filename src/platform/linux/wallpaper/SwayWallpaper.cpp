#include "platform/linux/wallpaper/SwayWallpaper.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr int kMagicSize = 6;
constexpr int kHeaderSize = kMagicSize + 8;
constexpr quint32 kRunCommand = 0;
constexpr int kTimeoutMs = 10000;
const QString kLinkFolder = QStringLiteral("/ZVistaro02");
const QString kLinkName = QStringLiteral("/wallpaper");
// The new link's name ends in the process id: two rotations at once never
// take each other's new link.
const QString kNewLinkName = QStringLiteral("/wallpaper.new-");

QByteArray Message(quint32 type, const QByteArray& payload) {
  QByteArray message(kMagic, kMagicSize);
  message.resize(kHeaderSize);
  qToUnaligned<quint32>(quint32(payload.size()), message.data() + kMagicSize);
  qToUnaligned<quint32>(type, message.data() + kMagicSize + 4);
  return message + payload;
}

bool ReadExactly(QLocalSocket& socket, qint64 size, QByteArray* data) {
  while (socket.bytesAvailable() < size) {
    if (!socket.waitForReadyRead(kTimeoutMs)) return false;
  }
  *data = socket.read(size);
  return true;
}

// The payload of sway's reply to one message; false when none came.
bool Exchange(const QString& socketPath, const QByteArray& command, QByteArray* reply) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(kTimeoutMs)) {
    TraceRefusal(QStringLiteral("sway: cannot connect to ") + socketPath + QStringLiteral(": ") +
                 socket.errorString());
    return false;
  }
  socket.write(Message(kRunCommand, command));
  QByteArray header;
  if (!socket.waitForBytesWritten(kTimeoutMs) || !ReadExactly(socket, kHeaderSize, &header) ||
      !header.startsWith(kMagic)) {
    TraceRefusal(QStringLiteral("sway: no reply (") + socket.errorString() + QLatin1Char(')'));
    return false;
  }
  const quint32 size = qFromUnaligned<quint32>(header.constData() + kMagicSize);
  if (!ReadExactly(socket, size, reply)) {
    TraceRefusal(QStringLiteral("sway: the reply was cut short"));
    return false;
  }
  return true;
}

// sway answers a command with one result object per command run; every one
// must report success.
bool ReportsSuccess(const QByteArray& reply) {
  const QJsonArray results = QJsonDocument::fromJson(reply).array();
  if (results.isEmpty()) {
    TraceRefusal(QStringLiteral("sway: unexpected reply ") + QString::fromUtf8(reply));
    return false;
  }
  for (const QJsonValue& result : results) {
    if (!result.toObject().value(QStringLiteral("success")).toBool()) {
      TraceRefusal(QStringLiteral("sway: ") +
                   result.toObject().value(QStringLiteral("error")).toString());
      return false;
    }
  }
  return true;
}

QString ErrnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The folder of our own in $XDG_RUNTIME_DIR that holds the link; created
// private, and refused when something else (a link, another user's folder)
// has taken its place.
bool MakeLinkFolder(const QString& folder) {
  const QByteArray path = QFile::encodeName(folder);
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
    TraceRefusal(QStringLiteral("sway: cannot create ") + folder + QStringLiteral(": ") +
                 ErrnoText());
    return false;
  }
  struct stat status {};
  if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      status.st_uid != ::geteuid()) {
    TraceRefusal(QStringLiteral("sway: ") + folder +
                 QStringLiteral(" is not a folder of this user; remove it and try again"));
    return false;
  }
  return true;
}

// Points the link at the file: a new link renamed over the old one, so that
// sway never finds the name missing or half made.
bool ReplaceLink(const QString& folder, const QString& target) {
  const QByteArray link = QFile::encodeName(folder + kLinkName);
  const QByteArray newLink = QFile::encodeName(folder + kNewLinkName + QString::number(::getpid()));
  ::unlink(newLink.constData());
  if (::symlink(QFile::encodeName(target).constData(), newLink.constData()) != 0 ||
      std::rename(newLink.constData(), link.constData()) != 0) {
    TraceRefusal(QStringLiteral("sway: cannot link ") + folder + kLinkName + QStringLiteral(": ") +
                 ErrnoText());
    ::unlink(newLink.constData());
    return false;
  }
  return true;
}

// sway runs as this user and opens the file by the link's name, so a file
// that this process cannot open through the link, sway cannot open either.
// sway itself answers success for a background it cannot read.
bool OpensThroughLink(const QString& link, const QString& file) {
  QFile picture(link);
  if (!picture.open(QIODevice::ReadOnly)) {
    TraceRefusal(QStringLiteral("sway could not open ") + file + QStringLiteral(": ") +
                 picture.errorString());
    return false;
  }
  return true;
}

}  // namespace

QString SwayLinkPath() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  static const QRegularExpression kPlain(QStringLiteral("^/[A-Za-z0-9/._+-]*$"));
  if (!kPlain.match(runtime).hasMatch()) return QString();
  return runtime + kLinkFolder + kLinkName;
}

bool SwayWallpaper::Set(const QString& file) {
  const QString socketPath = qEnvironmentVariable("SWAYSOCK");
  if (socketPath.isEmpty()) {
    TraceRefusal(QStringLiteral("sway: SWAYSOCK is not set"));
    return false;
  }
  const QString link = SwayLinkPath();
  if (link.isEmpty()) {
    TraceRefusal(QStringLiteral("sway: XDG_RUNTIME_DIR is unset or not a plain absolute path"));
    return false;
  }
  const QString folder = QFileInfo(link).path();
  if (!MakeLinkFolder(folder) || !ReplaceLink(folder, QFileInfo(file).absoluteFilePath()) ||
      !OpensThroughLink(link, file)) {
    return false;
  }
  QByteArray reply;
  return Exchange(socketPath, "output * bg " + link.toUtf8() + " fill", &reply) &&
         ReportsSuccess(reply);
}
