#include "platform/linux/wallpaper/PlasmaWallpaper.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include "platform/linux/wallpaper/DBusCall.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

// Plasma 5 runs its desktop scripts in an older engine, so the script keeps
// to plain ES5.
constexpr char kScriptBody[] = R"(
var url = "file://" + path.split("/").map(encodeURIComponent).join("/");
var all = desktops();
var changed = 0;
for (var i = 0; i < all.length; i++) {
  if (all[i].wallpaperPlugin !== "org.kde.image") continue;
  all[i].currentConfigGroup = ["Wallpaper", "org.kde.image", "General"];
  all[i].writeConfig("Image", url);
  changed++;
}
if (changed === 0) throw new Error("no desktop shows a picture as its wallpaper");
)";

// A JSON string literal: quotes, backslashes and control characters escaped,
// and the two characters that end a line in ES5 but not in JSON as well.
QString JsonString(const QString& text) {
  const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  return QString::fromUtf8(array.mid(1, array.size() - 2))
      .replace(QChar(0x2028), QStringLiteral("\\u2028"))
      .replace(QChar(0x2029), QStringLiteral("\\u2029"));
}

}  // namespace

QString PlasmaScript(const QString& absolutePath) {
  return QStringLiteral("var path = ") + JsonString(absolutePath) + QLatin1Char(';') +
         QLatin1String(kScriptBody);
}

void PlasmaWallpaper::Set(const QString& file) {
  bool numbered = false;
  const int version = qEnvironmentVariableIntValue("KDE_SESSION_VERSION", &numbered);
  if (numbered && version < 5) {
    RefuseWallpaper(QStringLiteral("KDE %1 (KDE_SESSION_VERSION) has no wallpaper scripting; set "
                                   "ZVISTARO_WALLPAPER_COMMAND")
                        .arg(version));
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
      QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
  call << PlasmaScript(QFileInfo(file).absoluteFilePath());
  CallDesktop(QDBusConnection::sessionBus(), call, QStringLiteral("Plasma"), file);
}
