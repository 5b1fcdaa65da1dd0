#include "platform/linux/wallpaper/DBusCall.h"

#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

// Errors of the bus itself rather than of the desktop's answer.
bool NobodyAnswered(const QString& errorName) {
  static const QStringList kNames = {
      QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
      QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
      QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
      QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
      QStringLiteral("org.freedesktop.DBus.Error.TimedOut"),
      QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
      QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
  };
  return kNames.contains(errorName);
}

}  // namespace

void RefuseForAnswer(const QDBusMessage& call, const QDBusMessage& answer, const QString& desktop,
                     const QString& file) {
  const QString reason = call.service() + QLatin1Char(' ') + call.member() + QStringLiteral(": ") +
                         answer.errorMessage() + QStringLiteral(" (") + answer.errorName() +
                         QLatin1Char(')');
  RefuseWallpaper(NobodyAnswered(answer.errorName()) ? DesktopUnreachable(desktop, reason)
                                                     : DesktopRefused(desktop, file, reason));
}

QDBusMessage CallDesktop(const QDBusConnection& bus, const QDBusMessage& call,
                         const QString& desktop, const QString& file) {
  if (!bus.isConnected()) {
    RefuseWallpaper(DesktopUnreachable(desktop, QStringLiteral("there is no session bus (") +
                                                    bus.lastError().message() + QLatin1Char(')')));
  }
  const QDBusMessage answer = bus.call(call, QDBus::Block);
  if (answer.type() != QDBusMessage::ReplyMessage) RefuseForAnswer(call, answer, desktop, file);
  return answer;
}
