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

const QString kSway = QStringLiteral("sway");

// The payload of sway's reply to one message.
QByteArray Exchange(const QString& socketPath, const QByteArray& command, const QString& file) {
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(kTimeoutMs)) {
    RefuseWallpaper(DesktopUnreachable(kSway, QStringLiteral("its socket ") + socketPath +
                                                  QStringLiteral(" (SWAYSOCK) does not answer: ") +
                                                  socket.errorString()));
  }
  socket.write(Message(kRunCommand, command));
  QByteArray header;
  if (!socket.waitForBytesWritten(kTimeoutMs) || !ReadExactly(socket, kHeaderSize, &header) ||
      !header.startsWith(kMagic)) {
    RefuseWallpaper(DesktopRefused(
        kSway, file,
        QStringLiteral("it gave no reply (") + socket.errorString() + QLatin1Char(')')));
  }
  const quint32 size = qFromUnaligned<quint32>(header.constData() + kMagicSize);
  QByteArray reply;
  if (!ReadExactly(socket, size, &reply)) {
    RefuseWallpaper(DesktopRefused(kSway, file, QStringLiteral("its reply was cut short")));
  }
  return reply;
}

// sway answers a command with one result object per command run; every one
// must report success.
void RefuseUnlessSucceeded(const QByteArray& reply, const QString& file) {
  const QJsonArray results = QJsonDocument::fromJson(reply).array();
  if (results.isEmpty()) {
    RefuseWallpaper(
        DesktopRefused(kSway, file, QStringLiteral("it replied ") + QString::fromUtf8(reply)));
  }
  for (const QJsonValue& result : results) {
    if (!result.toObject().value(QStringLiteral("success")).toBool()) {
      RefuseWallpaper(
          DesktopRefused(kSway, file, result.toObject().value(QStringLiteral("error")).toString()));
    }
  }
}

QString ErrnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// The folder of our own in $XDG_RUNTIME_DIR that holds the link; created
// private, and refused when something else (a link, another user's folder)
// has taken its place.
void MakeLinkFolder(const QString& folder) {
  const QByteArray path = QFile::encodeName(folder);
  if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
    RefuseWallpaper(QStringLiteral("the folder \"%1\" for the link sway is shown cannot be "
                                   "created (%2)")
                        .arg(folder, ErrnoText()));
  }
  struct stat status {};
  if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
      status.st_uid != ::geteuid()) {
    RefuseWallpaper(
        QStringLiteral("\"%1\" is not a folder of this user; remove it and try again").arg(folder));
  }
}

// Points the link at the file: a new link renamed over the old one, so that
// sway never finds the name missing or half made.
void ReplaceLink(const QString& folder, const QString& target) {
  const QByteArray link = QFile::encodeName(folder + kLinkName);
  const QByteArray newLink = QFile::encodeName(folder + kNewLinkName + QString::number(::getpid()));
  ::unlink(newLink.constData());
  if (::symlink(QFile::encodeName(target).constData(), newLink.constData()) != 0 ||
      std::rename(newLink.constData(), link.constData()) != 0) {
    const QString reason = ErrnoText();
    ::unlink(newLink.constData());
    RefuseWallpaper(QStringLiteral("the link \"%1\" for sway cannot be made (%2)")
                        .arg(folder + kLinkName, reason));
  }
}

// sway runs as this user and opens the file by the link's name, so a file
// that this process cannot open through the link, sway cannot open either.
// sway itself answers success for a background it cannot read.
void RefuseUnlessOpens(const QString& link, const QString& file) {
  QFile picture(link);
  if (!picture.open(QIODevice::ReadOnly)) {
    RefuseWallpaper(DesktopRefused(kSway, file,
                                   QStringLiteral("it cannot open it through ") + link +
                                       QStringLiteral(" (") + picture.errorString() +
                                       QLatin1Char(')')));
  }
}

}  // namespace

QString SwayLinkPath() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  static const QRegularExpression kPlain(QStringLiteral("^/[A-Za-z0-9/._+-]*$"));
  if (!kPlain.match(runtime).hasMatch()) return QString();
  return runtime + kLinkFolder + kLinkName;
}

void SwayWallpaper::Set(const QString& file) {
  const QString socketPath = qEnvironmentVariable("SWAYSOCK");
  if (socketPath.isEmpty()) {
    RefuseWallpaper(DesktopUnreachable(kSway, QStringLiteral("SWAYSOCK is not set")));
  }
  const QString link = SwayLinkPath();
  if (link.isEmpty()) {
    RefuseWallpaper(
        QStringLiteral("XDG_RUNTIME_DIR is unset or not a plain absolute path, so "
                       "there is no place for the link sway is shown; start the "
                       "program inside the sway session"));
  }
  const QString folder = QFileInfo(link).path();
  MakeLinkFolder(folder);
  ReplaceLink(folder, QFileInfo(file).absoluteFilePath());
  RefuseUnlessOpens(link, file);
  RefuseUnlessSucceeded(Exchange(socketPath, "output * bg " + link.toUtf8() + " fill", file), file);
}
