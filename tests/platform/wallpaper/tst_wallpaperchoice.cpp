#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "WallpaperTestSupport.h"
#include "platform/linux/wallpaper/GSettingsWallpaper.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"
#include "support/TestSupport.h"

namespace {

const QByteArray kTwoMonitors = R"(<channel name="xfce4-desktop" version="1.0">
<property name="backdrop" type="empty"><property name="screen0" type="empty">
<property name="monitorHDMI-1" type="empty"><property name="workspace0" type="empty">
<property name="image-style" type="int" value="5"/>
<property name="last-image" type="string" value="/old/one.png"/></property></property>
<property name="monitoreDP-1" type="empty"><property name="workspace1" type="empty">
<property name="last-image" type="string" value="/old/two.png"/></property></property>
</property></property></channel>)";

}  // namespace

class tst_WallpaperChoice : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void sessionPicksItsRoute_data();
  void sessionPicksItsRoute();
  void gsettingsRefusesUnknownSchemasAndKeys();

 private:
  QTemporaryDir dir_;
  QString picture_;
  PrivateXServer server_{QStringLiteral("320x240x24")};
};

void tst_WallpaperChoice::initTestCase() {
  QVERIFY(!server_.Display().isEmpty());
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::yellow);
  picture_ = dir_.filePath("wall paper #1.png");
  QVERIFY(image.save(picture_, "png"));
}

void tst_WallpaperChoice::sessionPicksItsRoute_data() {
  QTest::addColumn<QStringList>("variables");
  QTest::addColumn<QByteArray>("channel");  // XFCE's stored settings; empty: none
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<QString>("traced");
  QTest::addColumn<QStringList>("properties");  // XFCE's settings after; %1: the picture
  const QString display = "DISPLAY=" + server_.Display();
  QTest::newRow("settings that would not be kept are a refusal")
      << QStringList{"XDG_CURRENT_DESKTOP=MATE", "GSETTINGS_BACKEND=memory"} << QByteArray()
      << false << "would not be kept" << QStringList();
  // A named desktop counts before a sway socket; Plasma's refusal never
  // falls back to the root window.
  QTest::newRow("Plasma, with a sway socket and a display")
      << QStringList{"XDG_CURRENT_DESKTOP=KDE", "SWAYSOCK=/absent", display} << QByteArray()
      << false << "Plasma" << QStringList();
  QTest::newRow("sway by its socket, with a display")
      << QStringList{"SWAYSOCK=/absent", display} << QByteArray() << false << "sway"
      << QStringList();
  QTest::newRow("unknown desktop with a display uses X11")
      << QStringList{"XDG_CURRENT_DESKTOP=openbox", display} << QByteArray() << true << ""
      << QStringList();
  QTest::newRow("XFCE: every existing wallpaper property, and nothing else")
      << QStringList{"XDG_CURRENT_DESKTOP=XFCE"} << kTwoMonitors << true << ""
      << QStringList{"/backdrop/screen0/monitorHDMI-1/workspace0/image-style=5",
                     "/backdrop/screen0/monitorHDMI-1/workspace0/last-image=%1",
                     "/backdrop/screen0/monitoreDP-1/workspace1/last-image=%1"};
  QTest::newRow("XFCE, none yet and no output to name one after")
      << QStringList{"XDG_CURRENT_DESKTOP=XFCE"} << QByteArray() << false << "no display output"
      << QStringList();
}

// Each row runs wallpaper_probe, which sets the picture through the route
// that a session with these variables gets, as the program's start-up builds
// it, on a bus of the row's own (exit status 0: accepted, 3: refused, the
// reasons on stderr, kept in a file apart from the bus's own messages);
// xfconf-query then lists XFCE's settings on that bus.
void tst_WallpaperChoice::sessionPicksItsRoute() {
  QFETCH(QStringList, variables);
  QFETCH(QByteArray, channel);
  QFETCH(bool, accepted);
  QFETCH(QString, traced);
  QFETCH(QStringList, properties);
  const QString config = dir_.filePath(QTest::currentDataTag());
  const QString folder = config + "/xfce4/xfconf/xfce-perchannel-xml";
  QVERIFY(QDir().mkpath(folder));
  if (!channel.isEmpty()) MakeFile(folder, "xfce4-desktop.xml", channel);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"XDG_CURRENT_DESKTOP", "SWAYSOCK", "DISPLAY", "WAYLAND_DISPLAY"}) {
    environment.remove(name);
  }
  environment.insert("XDG_CONFIG_HOME", config);
  environment.insert("XDG_CONFIG_DIRS", dir_.filePath("none"));
  for (const QString& variable : variables) {
    environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
  }
  QProcess probe;
  probe.setProcessEnvironment(environment);
  probe.start("dbus-run-session", {"--", "sh", "-c",
                                   "\"$0\" \"$1\" 2>\"$2\"; s=$?; "
                                   "xfconf-query -c xfce4-desktop -lv 2>/dev/null; exit $s",
                                   ZV_WALLPAPER_PROBE, picture_, config + "/trace"});
  QVERIFY(probe.waitForFinished(60000));
  QFile traceFile(config + "/trace");
  QVERIFY(traceFile.open(QIODevice::ReadOnly));
  const QByteArray trace = traceFile.readAll();
  QCOMPARE(probe.exitCode(), accepted ? 0 : 3);
  QVERIFY2(traced.isEmpty() ? trace.isEmpty() : trace.contains(traced.toUtf8()), trace);
  QStringList listed;
  for (const QString& line : QString::fromUtf8(probe.readAllStandardOutput()).split('\n')) {
    if (!line.isEmpty()) listed << QString(line).replace(QRegularExpression("^(\\S+)\\s+"), "\\1=");
  }
  QCOMPARE(listed, properties.replaceInStrings("%1", picture_));
}

// GLib aborts the process for a schema or key it does not know: both are
// refused before.
void tst_WallpaperChoice::gsettingsRefusesUnknownSchemasAndKeys() {
  TraceRecorder trace;
  QVERIFY(!GSettingsWallpaper({"org.zvistaro.absent", "picture-uri", nullptr, true}).Set(picture_));
  QVERIFY(!GSettingsWallpaper({"org.gnome.desktop.background", "no-such-key", nullptr, true})
               .Set(picture_));
  QCOMPARE(trace.Lines().size(), 2);
}

QTEST_GUILESS_MAIN(tst_WallpaperChoice)
#include "tst_wallpaperchoice.moc"
