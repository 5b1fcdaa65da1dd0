#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "WallpaperTestSupport.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

Q_DECLARE_METATYPE(Desktop)

class tst_WallpaperChoice : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void detectDesktop_data();
  void detectDesktop();
  void sessionPicksItsBackEnd_data();
  void sessionPicksItsBackEnd();

 private:
  QTemporaryDir dir_;
  QString picture_;
};

void tst_WallpaperChoice::initTestCase() {
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(Qt::yellow);
  picture_ = dir_.filePath("wall paper.png");
  QVERIFY(image.save(picture_, "png"));
}

void tst_WallpaperChoice::detectDesktop_data() {
  QTest::addColumn<QString>("xdgCurrentDesktop");
  QTest::addColumn<bool>("swaySocket");
  QTest::addColumn<Desktop>("desktop");
  QTest::newRow("Ubuntu's GNOME") << "ubuntu:GNOME" << false << Desktop::kGnome;
  QTest::newRow("GNOME Classic") << "GNOME-Classic:GNOME" << false << Desktop::kGnome;
  QTest::newRow("first recognised name wins") << "Budgie:GNOME" << false << Desktop::kBudgie;
  QTest::newRow("Unity") << "Unity" << false << Desktop::kUnity;
  QTest::newRow("Cinnamon") << "X-Cinnamon" << false << Desktop::kCinnamon;
  QTest::newRow("MATE") << "MATE" << false << Desktop::kMate;
  QTest::newRow("Plasma") << "KDE" << false << Desktop::kKde;
  QTest::newRow("XFCE") << "XFCE" << false << Desktop::kXfce;
  QTest::newRow("LXQt") << "LXQt" << false << Desktop::kLxqt;
  QTest::newRow("LXDE") << "LXDE" << false << Desktop::kLxde;
  QTest::newRow("sway by name") << "sway" << false << Desktop::kSway;
  QTest::newRow("sway by its socket") << "" << true << Desktop::kSway;
  QTest::newRow("a named desktop beats the socket") << "GNOME" << true << Desktop::kGnome;
  QTest::newRow("window manager") << "i3" << false << Desktop::kNone;
  QTest::newRow("nothing named") << "" << false << Desktop::kNone;
}

void tst_WallpaperChoice::detectDesktop() {
  QFETCH(QString, xdgCurrentDesktop);
  QFETCH(bool, swaySocket);
  QFETCH(Desktop, desktop);
  QCOMPARE(DetectDesktop(xdgCurrentDesktop, swaySocket), desktop);
}

// Each row runs the back-end that a session with these variables gets, in a
// process of its own, and checks its answer and the reason it traced.
void tst_WallpaperChoice::sessionPicksItsBackEnd_data() {
  QTest::addColumn<QStringList>("variables");
  QTest::addColumn<bool>("accepted");
  QTest::addColumn<QString>("traced");
  const QString noDisplay = QStringLiteral("DISPLAY=:69.0-absent");
  QTest::newRow("GNOME through the keyfile back-end")
      << QStringList{"XDG_CURRENT_DESKTOP=ubuntu:GNOME", "GSETTINGS_BACKEND=keyfile"} << true << "";
  QTest::newRow("missing schema is a refusal, not an abort")
      << QStringList{"XDG_CURRENT_DESKTOP=GNOME", "GSETTINGS_BACKEND=keyfile",
                     "GSETTINGS_SCHEMA_DIR=" + dir_.filePath("empty"),
                     "XDG_DATA_DIRS=" + dir_.filePath("empty")}
      << false << "is not installed";
  QTest::newRow("settings that would not be kept are a refusal")
      << QStringList{"XDG_CURRENT_DESKTOP=MATE", "GSETTINGS_BACKEND=memory"} << false
      << "would not be kept";
  QTest::newRow("Plasma's refusal never falls back to the root window")
      << QStringList{"XDG_CURRENT_DESKTOP=KDE", noDisplay,
                     "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir_.filePath("no-bus")}
      << false << "Plasma";
  QTest::newRow("sway by its socket, with a display")
      << QStringList{"SWAYSOCK=" + dir_.filePath("no-sway"), noDisplay} << false << "sway";
  QTest::newRow("unknown desktop with a display uses X11")
      << QStringList{"XDG_CURRENT_DESKTOP=openbox", noDisplay} << false << "X display";
  QTest::newRow("unknown desktop without a display")
      << QStringList{"XDG_CURRENT_DESKTOP=openbox"} << false << "no desktop";
}

void tst_WallpaperChoice::sessionPicksItsBackEnd() {
  QFETCH(QStringList, variables);
  QFETCH(bool, accepted);
  QFETCH(QString, traced);
  QDir(dir_.path()).mkpath("empty");
  QProcessEnvironment environment = CleanEnvironment();
  for (const QString& variable : variables) {
    const qsizetype equals = variable.indexOf('=');
    environment.insert(variable.left(equals), variable.mid(equals + 1));
  }
  const ProbeResult result = RunProbe(picture_, environment);
  QVERIFY2(result.exitCode == 0 || result.exitCode == 3, result.trace.constData());
  QCOMPARE(result.accepted, accepted);
  if (traced.isEmpty()) {
    QCOMPARE(result.trace, QByteArray());
  } else {
    QVERIFY2(result.trace.contains(traced.toUtf8()), result.trace.constData());
  }
}

QTEST_GUILESS_MAIN(tst_WallpaperChoice)
#include "tst_wallpaperchoice.moc"
