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

}  // namespace

class tst_SessionWallpapers : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void plasmaScriptSetsEveryPictureDesktop();
  void plasmaGetsTheScriptAndHonoursItsErrors();

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

QTEST_GUILESS_MAIN(tst_SessionWallpapers)
#include "tst_sessionwallpapers.moc"
