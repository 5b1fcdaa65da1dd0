#include "platform/linux/wallpaper/LxqtWallpaper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>

#include "platform/linux/wallpaper/DBusCall.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

void LxqtWallpaper::Set(const QString& file) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.pcmanfm.PCManFM"), QStringLiteral("/Application"),
      QStringLiteral("org.pcmanfm.Application"), QStringLiteral("setWallpaper"));
  // PCManFM-Qt 1.2 ignores "zoom" here (its own --wallpaper-mode zoom as well)
  // and then shows no picture at all; "stretch" fills the screen.
  call << QFileInfo(file).absoluteFilePath() << QStringLiteral("stretch");
  CallDesktop(QDBusConnection::sessionBus(), call, QStringLiteral("LXQt"), file);
}
