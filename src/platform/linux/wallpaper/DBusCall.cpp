#include "platform/linux/wallpaper/DBusCall.h"

#include "platform/linux/wallpaper/LinuxWallpaper.h"

bool CallAccepted(const QDBusConnection& bus, const QDBusMessage& call, const QString& desktop,
                  QDBusMessage* reply) {
  if (!bus.isConnected()) {
    TraceRefusal(desktop + QStringLiteral(": no session bus (") + bus.lastError().message() +
                 QLatin1Char(')'));
    return false;
  }
  const QDBusMessage answer = bus.call(call, QDBus::Block);
  if (answer.type() != QDBusMessage::ReplyMessage) {
    TraceRefusal(desktop + QStringLiteral(": ") + call.member() + QStringLiteral(" failed: ") +
                 answer.errorName() + QStringLiteral(" ") + answer.errorMessage());
    return false;
  }
  if (reply != nullptr) *reply = answer;
  return true;
}
