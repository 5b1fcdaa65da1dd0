#include "platform/linux/wallpaper/LxqtWallpaper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>

#include "platform/linux/wallpaper/DBusCall.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

bool LxqtWallpaper::Set(const QString& file) {
  if (!IsUsablePicture(file)) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.pcmanfm.PCManFM"), QStringLiteral("/Application"),
      QStringLiteral("org.pcmanfm.Application"), QStringLiteral("setWallpaper"));
  call << QFileInfo(file).absoluteFilePath() << QStringLiteral("zoom");
  return CallAccepted(QDBusConnection::sessionBus(), call, QStringLiteral("LXQt"));
}
