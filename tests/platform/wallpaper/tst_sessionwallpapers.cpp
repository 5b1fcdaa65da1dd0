#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDir>
#include <QImage>
#include <QJSEngine>
#include <QTemporaryDir>
#include <QtTest>

#include "WallpaperTestSupport.h"
#include "platform/linux/wallpaper/PlasmaWallpaper.h"

namespace {

// Quotes, a backslash, blanks, "#", "%" and "$": everything that quoting or
// URL encoding could get wrong on the way.
const QString kAwkwardName = QStringLiteral("it's \"my\" \\ wall#1 100% $HOME.png");

// Stands in for a desktop service on the test's private bus: records the
// calls and answers with an error when told to.
class FakePlasmaShell : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.PlasmaShell")

 public:
  QStringList calls;
  QString failWith;

 public slots:
  QString evaluateScript(const QString& script) {
    calls.append(script);
    if (!failWith.isEmpty()) sendErrorReply(QDBusError::Failed, failWith);
    return QString();
  }
};

class FakePcmanfm : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.pcmanfm.Application")

 public:
  QList<QStringList> calls;
  QString failWith;

 public slots:
  void setWallpaper(const QString& path, const QString& mode) {
    calls.append({path, mode});
    if (!failWith.isEmpty()) sendErrorReply(QDBusError::AccessDenied, failWith);
  }
};

}  // namespace

class tst_SessionWallpapers : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void plasmaScriptSetsEveryPictureDesktop();
  void plasmaGetsTheScriptAndHonoursItsErrors();
  void lxqtGetsThePathAndZoom();
  void lxdeRunsPcmanfmWithTheAbsolutePath();

 private:
  QProcessEnvironment Session(const QString& desktop, const QString& busAddress) const;
  QTemporaryDir dir_;
  QString picture_;
};

void tst_SessionWallpapers::initTestCase() {
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  picture_ = dir_.filePath(kAwkwardName);
  QVERIFY(image.save(picture_, "png"));
}

QProcessEnvironment tst_SessionWallpapers::Session(const QString& desktop,
                                                   const QString& busAddress) const {
  QProcessEnvironment environment = CleanEnvironment();
  environment.insert("XDG_CURRENT_DESKTOP", desktop);
  environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
  return environment;
}

// Runs the script against desktops of a stand-in scripting API, the way
// Plasma's shell runs it: a picture desktop, a plain-colour one.
void tst_SessionWallpapers::plasmaScriptSetsEveryPictureDesktop() {
  QJSEngine engine;
  engine.evaluate(R"(
    function Desktop(plugin) { this.wallpaperPlugin = plugin; this.written = []; }
    Desktop.prototype.writeConfig = function (key, value) {
      this.written.push(this.currentConfigGroup.join("/") + " " + key + "=" + value);
    };
    var shown = [new Desktop("org.kde.image"), new Desktop("org.kde.color"),
                 new Desktop("org.kde.image")];
    function desktops() { return shown; })");
  const QJSValue result = engine.evaluate(PlasmaScript(picture_));
  QVERIFY2(!result.isError(), qPrintable(result.toString()));
  const QString prefix = QStringLiteral("Wallpaper/org.kde.image/General Image=");
  for (int i : {0, 2}) {
    const QStringList written =
        engine.evaluate(QStringLiteral("shown[%1].written").arg(i)).toVariant().toStringList();
    QCOMPARE(written.size(), 1);
    QVERIFY(written.first().startsWith(prefix));
    const QUrl url(written.first().mid(prefix.size()), QUrl::StrictMode);
    QVERIFY2(url.isValid() && url.isLocalFile(), qPrintable(written.first()));
    QCOMPARE(url.toLocalFile(), picture_);
  }
  QCOMPARE(engine.evaluate("shown[1].written.length").toInt(), 0);

  // No desktop shows a picture: nothing would change, so the script fails.
  engine.evaluate(R"(shown = [new Desktop("org.kde.color")])");
  QVERIFY(engine.evaluate(PlasmaScript(picture_)).isError());
}

void tst_SessionWallpapers::plasmaGetsTheScriptAndHonoursItsErrors() {
  PrivateBus bus;
  QDBusConnection connection = QDBusConnection::connectToBus(bus.Address(), "plasma");
  FakePlasmaShell shell;
  QVERIFY(connection.registerObject("/PlasmaShell", &shell, QDBusConnection::ExportAllSlots));
  QProcessEnvironment session = Session("KDE", bus.Address());
  session.insert("KDE_SESSION_VERSION", "6");

  ProbeResult missing = RunProbe(picture_, session);
  QVERIFY2(!missing.accepted && missing.exitCode == 3, missing.trace.constData());
  QVERIFY(missing.trace.contains("org.freedesktop.DBus.Error.ServiceUnknown"));

  QVERIFY(connection.registerService("org.kde.plasmashell"));
  ProbeResult accepted = RunProbe(picture_, session);
  QVERIFY2(accepted.accepted, accepted.trace.constData());
  QCOMPARE(shell.calls, QStringList{PlasmaScript(picture_)});

  shell.failWith = QStringLiteral("Widgets are locked");
  ProbeResult locked = RunProbe(picture_, session);
  QVERIFY(!locked.accepted);
  QVERIFY2(locked.trace.contains("Widgets are locked"), locked.trace.constData());

  QDBusConnection::disconnectFromBus("plasma");
}

void tst_SessionWallpapers::lxqtGetsThePathAndZoom() {
  PrivateBus bus;
  QDBusConnection connection = QDBusConnection::connectToBus(bus.Address(), "pcmanfm");
  FakePcmanfm pcmanfm;
  QVERIFY(connection.registerObject("/Application", &pcmanfm, QDBusConnection::ExportAllSlots));
  const QProcessEnvironment session = Session("LXQt", bus.Address());

  QVERIFY(!RunProbe(picture_, session).accepted);
  QVERIFY(connection.registerService("org.pcmanfm.PCManFM"));
  // A relative name reaches the desktop, another process, as an absolute one.
  ProbeResult accepted = RunProbe(kAwkwardName, session, dir_.path());
  QVERIFY2(accepted.accepted, accepted.trace.constData());
  QCOMPARE(pcmanfm.calls, (QList<QStringList>{{picture_, "zoom"}}));

  pcmanfm.failWith = QStringLiteral("not allowed");
  ProbeResult refused = RunProbe(picture_, session);
  QVERIFY(!refused.accepted);
  QVERIFY2(refused.trace.contains("not allowed"), refused.trace.constData());
  QDBusConnection::disconnectFromBus("pcmanfm");
}

void tst_SessionWallpapers::lxdeRunsPcmanfmWithTheAbsolutePath() {
  const QString bin = dir_.filePath("bin");
  QVERIFY(QDir().mkpath(bin));
  QFile script(bin + "/pcmanfm");
  QVERIFY(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$PCMANFM_LOG\"\nexit \"$PCMANFM_STATUS\"\n");
  script.close();
  QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
  QProcessEnvironment session = Session("LXDE", QString());
  session.insert("PATH", bin + ":" + session.value("PATH"));
  session.insert("PCMANFM_LOG", dir_.filePath("pcmanfm.log"));

  session.insert("PCMANFM_STATUS", "0");
  ProbeResult accepted = RunProbe(kAwkwardName, session, dir_.path());
  QVERIFY2(accepted.accepted, accepted.trace.constData());
  QFile log(dir_.filePath("pcmanfm.log"));
  QVERIFY(log.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(log.readAll()), "--set-wallpaper\n" + picture_ + "\n");

  session.insert("PCMANFM_STATUS", "1");
  QVERIFY(!RunProbe(picture_, session).accepted);
}

QTEST_GUILESS_MAIN(tst_SessionWallpapers)
#include "tst_sessionwallpapers.moc"
