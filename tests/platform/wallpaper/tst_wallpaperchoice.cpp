#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// GLib names a struct member "signals", which Qt defines as a keyword.
#undef signals
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include "kit/KitGlobal.h"
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

// GLib's key-file back-end, but dropping the dark picture from every change
// of several keys, so that one key keeps its new value and the other not.
gboolean (*keyfileWriteTree)(GSettingsBackend*, GTree*, gpointer);
gboolean WriteAllButDark(GSettingsBackend* backend, GTree* tree, gpointer tag) {
  g_tree_remove(tree, "/org/gnome/desktop/background/picture-uri-dark");
  return keyfileWriteTree(backend, tree, tag);
}

}  // namespace

class tst_WallpaperChoice : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString picture_;
  QProcess xvfb_;
  QString display_;

 private slots:
  void initTestCase() {
    // Xvfb writes the number of the display it took once it accepts clients.
    xvfb_.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
    QVERIFY(xvfb_.waitForReadyRead(15000));
    display_ = ":" + xvfb_.readLine().trimmed();
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    picture_ = dir_.filePath("wall paper #1.png");
    QVERIFY(image.save(picture_, "png"));
    // A system settings database where the dark picture is locked.
    QVERIFY(QDir().mkpath(dir_.filePath("db.d/locks")));
    MakeFile(dir_.filePath("db.d"), "k",
             "[org/gnome/desktop/background]\npicture-uri='file:///old'");
    MakeFile(dir_.filePath("db.d/locks"), "k", "/org/gnome/desktop/background/picture-uri-dark");
    QCOMPARE(QProcess::execute("dconf", {"compile", dir_.filePath("db"), dir_.filePath("db.d")}),
             0);
    MakeFile(dir_.path(), "locked", "user-db:user\nfile-db:" + dir_.filePath("db").toUtf8());
  }

  void cleanupTestCase() {
    xvfb_.terminate();
    xvfb_.waitForFinished();
  }

  void sessionPicksItsRoute_data() {
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<QString>("refusal");       // empty: accepted
    QTest::addColumn<QStringList>("settings");  // XFCE's and dconf's after; %1: the picture
    const QString display = "DISPLAY=" + display_;
    const QString uri = QUrl::fromLocalFile(picture_).toEncoded();
    QTest::newRow("GNOME: both pictures, as file URIs")
        << QStringList{"XDG_CURRENT_DESKTOP=ubuntu:GNOME"} << ""
        << QStringList{"[/]", "picture-uri='" + uri + "'", "picture-uri-dark='" + uri + "'"};
    QTest::newRow("GNOME, the dark picture locked: nothing changes")
        << QStringList{"XDG_CURRENT_DESKTOP=GNOME", "DCONF_PROFILE=" + dir_.filePath("locked")}
        << "picture-uri-dark is locked" << QStringList{"[/]", "picture-uri='file:///old'"};
    QTest::newRow("settings that would not be kept are a refusal")
        << QStringList{"XDG_CURRENT_DESKTOP=MATE", "GSETTINGS_BACKEND=memory"}
        << "would not be kept" << QStringList();
    // A named desktop counts before a sway socket; Plasma's refusal never
    // falls back to the root window.
    QTest::newRow("Plasma, with a sway socket and a display")
        << QStringList{"XDG_CURRENT_DESKTOP=KDE", "SWAYSOCK=/absent", display} << "Plasma"
        << QStringList();
    QTest::newRow("sway by its socket, with a display")
        << QStringList{"SWAYSOCK=/absent", display} << "sway" << QStringList();
    QTest::newRow("unknown desktop with a display uses X11")
        << QStringList{"XDG_CURRENT_DESKTOP=openbox", display} << "" << QStringList();
    QTest::newRow("XFCE: every existing wallpaper property, and nothing else")
        << QStringList{"XDG_CURRENT_DESKTOP=XFCE", "CHANNEL=1"} << ""
        << QStringList{"/backdrop/screen0/monitorHDMI-1/workspace0/image-style=5",
                       "/backdrop/screen0/monitorHDMI-1/workspace0/last-image=%1",
                       "/backdrop/screen0/monitoreDP-1/workspace1/last-image=%1"};
    QTest::newRow("XFCE, none yet and no output to name one after")
        << QStringList{"XDG_CURRENT_DESKTOP=XFCE"} << "names no output" << QStringList();
  }

  // Each row runs this test's own program as a probe that sets the picture
  // through the route a session with these variables gets, on a bus of the
  // row's own (exit status 0: accepted, 3: refused, the reasons in a file);
  // XFCE's and dconf's settings on that bus are listed after.
  void sessionPicksItsRoute() {
    QFETCH(QStringList, variables);
    QFETCH(QString, refusal);
    QFETCH(QStringList, settings);
    const QString config = dir_.filePath(QTest::currentDataTag());
    const QString folder = config + "/xfce4/xfconf/xfce-perchannel-xml";
    QVERIFY(QDir().mkpath(folder));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_CURRENT_DESKTOP", "SWAYSOCK", "DISPLAY", "WAYLAND_DISPLAY"})
      environment.remove(name);
    for (const QString& variable : variables << "XDG_CONFIG_HOME=" + config
                                             << "ZVISTARO_TRACE=" + config + "/trace")
      environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
    if (environment.contains("CHANNEL")) MakeFile(folder, "xfce4-desktop.xml", kTwoMonitors);
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.start("dbus-run-session",
                {"--", "sh", "-c",
                 "\"$0\" -probe \"$1\"; s=$?; dconf dump /org/gnome/desktop/background/; "
                 "xfconf-query -c xfce4-desktop -lv 2>/dev/null; exit $s",
                 QCoreApplication::applicationFilePath(), picture_});
    QVERIFY(probe.waitForFinished(60000));
    QFile trace(config + "/trace");
    const QByteArray reasons = trace.open(QIODevice::ReadOnly) ? trace.readAll() : "";
    QCOMPARE(probe.exitCode(), refusal.isEmpty() ? 0 : 3);
    // One refusal ended the attempt, with its reason.
    QByteArrayList refusals = reasons.split('\n');
    refusals.removeIf([](const QByteArray& line) { return !line.startsWith("wallpaper refused"); });
    QVERIFY2(refusal.isEmpty() ? refusals.isEmpty()
                               : refusals.size() == 1 && refusals[0].contains(refusal.toUtf8()),
             reasons);
    QStringList listed = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
    listed.removeAll("");
    QCOMPARE(listed.replaceInStrings(QRegularExpression("^(/\\S+)\\s+"), "\\1="),
             settings.replaceInStrings("%1", picture_));
  }

  // GLib aborts the process for a schema or key it does not know: both are
  // refused before. A key that did not keep the new value puts the old
  // value of the other back.
  void gsettingsRefusals() {
    TraceRecorder trace;
    QVERIFY_THROWS_EXCEPTION(
        ProgramError,
        GSettingsWallpaper({"org.zvistaro.absent", "picture-uri", nullptr, true}).Set(picture_));
    QVERIFY_THROWS_EXCEPTION(ProgramError, GSettingsWallpaper({"org.gnome.desktop.background",
                                                               "no-such-key", nullptr, true})
                                               .Set(picture_));
    QCOMPARE(trace.Lines().filter("wallpaper refused").size(), 2);
    qputenv("GSETTINGS_BACKEND", "keyfile");
    auto* keyfile = G_SETTINGS_BACKEND_GET_CLASS(g_settings_backend_get_default());
    keyfileWriteTree = std::exchange(keyfile->write_tree, WriteAllButDark);
    GSettings* settings = g_settings_new("org.gnome.desktop.background");
    g_settings_set_string(settings, "picture-uri", "file:///old");
    QVERIFY_THROWS_EXCEPTION(ProgramError, GSettingsWallpaper(GnomeBackground()).Set(picture_));
    QCOMPARE(QString::fromUtf8(g_settings_get_string(settings, "picture-uri")), "file:///old");
  }
};

// With -probe FILE: sets the wallpaper as the program's start-up builds its
// route, and exits 0 when accepted, 3 when refused.
int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc == 3 && argv[1] == QByteArrayView("-probe")) {
    try {
      CreateLinuxWallpaper()->Set(QString::fromLocal8Bit(argv[2]));
      return 0;
    } catch (const ProgramError&) {
      return 3;
    }
  }
  tst_WallpaperChoice test;
  return QTest::qExec(&test, argc, argv);
}
#include "tst_wallpaperchoice.moc"
