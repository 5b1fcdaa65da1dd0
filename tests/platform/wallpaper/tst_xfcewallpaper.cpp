#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "WallpaperTestSupport.h"
#include "support/TestSupport.h"

namespace {

const QByteArray kTwoMonitors = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-desktop" version="1.0">
  <property name="backdrop" type="empty">
    <property name="screen0" type="empty">
      <property name="monitorHDMI-1" type="empty">
        <property name="workspace0" type="empty">
          <property name="image-style" type="int" value="5"/>
          <property name="last-image" type="string" value="/old/one.png"/>
        </property>
      </property>
      <property name="monitoreDP-1" type="empty">
        <property name="workspace0" type="empty">
          <property name="last-image" type="string" value="/old/two.png"/>
        </property>
        <property name="workspace1" type="empty">
          <property name="last-image" type="string" value="/old/three.png"/>
        </property>
      </property>
    </property>
  </property>
</channel>
)";

void WriteChannel(const QString& configFolder, const QByteArray& xml) {
  const QString folder = configFolder + "/xfce4/xfconf/xfce-perchannel-xml";
  QVERIFY(QDir().mkpath(folder));
  MakeFile(folder, "xfce4-desktop.xml", xml);
}

}  // namespace

class tst_XfceWallpaper : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void everyExistingMonitorIsUpdated();
  void emptyChannelGetsOnePropertyPerOutput();
  void refusalsChangeNothing();

 private:
  // Runs the probe in an XFCE session whose xfconfd, started by a private
  // bus, keeps its channels under the given folders; returns the channel's
  // properties afterwards.
  QVariantMap SetInSession(const QString& configHome, const QString& display, bool* accepted);
  QTemporaryDir dir_;
  QString picture_;
};

void tst_XfceWallpaper::initTestCase() {
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::darkBlue);
  picture_ = dir_.filePath("desk top.png");
  QVERIFY(image.save(picture_, "png"));
}

QVariantMap tst_XfceWallpaper::SetInSession(const QString& configHome, const QString& display,
                                            bool* accepted) {
  QProcessEnvironment environment = CleanEnvironment();
  environment.insert("XDG_CONFIG_HOME", configHome);
  environment.insert("XDG_CONFIG_DIRS", dir_.filePath("none"));
  if (!display.isEmpty()) environment.insert("DISPLAY", display);
  PrivateBus bus(environment);
  environment.insert("XDG_CURRENT_DESKTOP", "XFCE");
  environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.Address());
  const ProbeResult result = RunProbe(picture_, environment);
  *accepted = result.accepted;

  const QString name = "xfconf-" + configHome;
  QVariantMap properties;
  {
    QDBusConnection connection = QDBusConnection::connectToBus(bus.Address(), name);
    QDBusMessage call = QDBusMessage::createMethodCall("org.xfce.Xfconf", "/org/xfce/Xfconf",
                                                       "org.xfce.Xfconf", "GetAllProperties");
    call << QStringLiteral("xfce4-desktop") << QStringLiteral("/");
    const QDBusMessage reply = connection.call(call);
    if (reply.type() == QDBusMessage::ReplyMessage) {
      properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }
  }
  QDBusConnection::disconnectFromBus(name);
  return properties;
}

void tst_XfceWallpaper::everyExistingMonitorIsUpdated() {
  const QString home = dir_.filePath("seeded");
  WriteChannel(home, kTwoMonitors);
  bool accepted = false;
  const QVariantMap properties = SetInSession(home, QString(), &accepted);
  QVERIFY(accepted);
  const QString base = "/backdrop/screen0/";
  for (const char* key :
       {"monitorHDMI-1/workspace0/last-image", "monitoreDP-1/workspace0/last-image",
        "monitoreDP-1/workspace1/last-image"}) {
    QCOMPARE(properties.value(base + key).toString(), picture_);
  }
  QCOMPARE(properties.value(base + "monitorHDMI-1/workspace0/image-style").toInt(), 5);
  QCOMPARE(properties.size(), 4);
}

void tst_XfceWallpaper::emptyChannelGetsOnePropertyPerOutput() {
  PrivateXServer server("320x240x24");
  QVERIFY(server.IsRunning());
  bool accepted = false;
  const QVariantMap properties = SetInSession(dir_.filePath("empty"), server.Display(), &accepted);
  QVERIFY(accepted);
  // Xvfb has one output, named "screen".
  QCOMPARE(properties.keys(), QStringList{"/backdrop/screen0/monitorscreen/workspace0/last-image"});
  QCOMPARE(properties.first().toString(), picture_);
}

void tst_XfceWallpaper::refusalsChangeNothing() {
  bool accepted = true;
  // No property yet and no display whose outputs could be named.
  QVERIFY(SetInSession(dir_.filePath("nothing"), QString(), &accepted).isEmpty());
  QVERIFY(!accepted);

  // No session bus at all.
  QProcessEnvironment environment = CleanEnvironment();
  environment.insert("XDG_CURRENT_DESKTOP", "XFCE");
  environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir_.filePath("no-bus"));
  QVERIFY(!RunProbe(picture_, environment).accepted);
}

QTEST_GUILESS_MAIN(tst_XfceWallpaper)
#include "tst_xfcewallpaper.moc"
