#include "platform/linux/wallpaper/SwayWallpaper.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QtEndian>

#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr int kMagicSize = 6;
constexpr int kHeaderSize = kMagicSize + 8;
constexpr quint32 kRunCommand = 0;
constexpr int kTimeoutMs = 10000;

// sway hands the file part of "bg" to wordexp(), so it must be one
// shell word: single quotes, with a quote written '\''.
QString ShellWord(const QString& text) {
  QString quoted = text;
  quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
  return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// One argument of a sway command: double quotes, backslash before
// backslashes and double quotes.
QString SwayArgument(const QString& text) {
  QString quoted = text;
  quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
  quoted.replace(QLatin1Char('"'), QStringLiteral("\\\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

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

}  // namespace

QByteArray SwayBackgroundCommand(const QString& absolutePath) {
  return (QStringLiteral("output * bg ") + SwayArgument(ShellWord(absolutePath)) +
          QStringLiteral(" fill"))
      .toUtf8();
}

bool SwayWallpaper::Set(const QString& file) {
  if (!IsUsablePicture(file)) return false;
  const QString socketPath = qEnvironmentVariable("SWAYSOCK");
  if (socketPath.isEmpty()) {
    TraceRefusal(QStringLiteral("sway: SWAYSOCK is not set"));
    return false;
  }
  QByteArray reply;
  return Exchange(socketPath, SwayBackgroundCommand(QFileInfo(file).absoluteFilePath()), &reply) &&
         ReportsSuccess(reply);
}
