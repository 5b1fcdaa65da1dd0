#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include "WallpaperTestSupport.h"
#include "platform/linux/wallpaper/GSettingsWallpaper.h"
#include "support/TestSupport.h"

namespace {

QString ReadKey(const char* schema, const char* key) {
  GSettings* settings = g_settings_new(schema);
  gchar* value = g_settings_get_string(settings, key);
  const QString text = QString::fromUtf8(value);
  g_free(value);
  g_object_unref(settings);
  return text;
}

// The file GLib's keyfile back-end keeps, as another process would read it.
QString KeyfileText() {
  QFile file(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("glib-2.0/settings/keyfile"));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString MakePicture(const QString& folder, const QString& name) {
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  const QString path = QDir(folder).filePath(name);
  if (!image.save(path, "png")) qFatal("cannot save %s", qPrintable(path));
  return path;
}

}  // namespace

class tst_GSettingsWallpaper : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void gnomeGetsEncodedFileUris();
  void mateGetsThePlainAbsolutePath();
  void cinnamonGetsAFileUri();
  void refusalsLeaveTheSettingsAlone();

 private:
  QTemporaryDir dir_;
};

void tst_GSettingsWallpaper::initTestCase() {
  // Before GLib picks its back-end: values go to a file in the temporary
  // XDG_CONFIG_HOME that run-isolated.sh gives every test.
  qputenv("GSETTINGS_BACKEND", "keyfile");
  QVERIFY(qEnvironmentVariable("XDG_CONFIG_HOME").startsWith(QDir::tempPath()));
}

void tst_GSettingsWallpaper::gnomeGetsEncodedFileUris() {
  const QString file = MakePicture(dir_.path(), QStringLiteral("a b#c%d.png"));
  const QString uri = "file://" + dir_.path() + "/a%20b%23c%25d.png";

  QVERIFY(GSettingsWallpaper(GnomeBackground()).Set(file));
  QCOMPARE(ReadKey("org.gnome.desktop.background", "picture-uri"), uri);
  QCOMPARE(ReadKey("org.gnome.desktop.background", "picture-uri-dark"), uri);
  QVERIFY2(KeyfileText().contains("picture-uri='" + uri + "'"), qPrintable(KeyfileText()));
  QVERIFY(KeyfileText().contains("picture-uri-dark='" + uri + "'"));
}

void tst_GSettingsWallpaper::mateGetsThePlainAbsolutePath() {
  MakePicture(dir_.path(), QStringLiteral("mate 1.png"));
  const QString previous = QDir::currentPath();
  QVERIFY(QDir::setCurrent(dir_.path()));
  const bool accepted = GSettingsWallpaper(MateBackground()).Set(QStringLiteral("mate 1.png"));
  QDir::setCurrent(previous);
  QVERIFY(accepted);
  QCOMPARE(ReadKey("org.mate.background", "picture-filename"), dir_.filePath("mate 1.png"));
}

void tst_GSettingsWallpaper::cinnamonGetsAFileUri() {
  const QString file = MakePicture(dir_.path(), QStringLiteral("cinnamon.png"));
  QVERIFY(GSettingsWallpaper(CinnamonBackground()).Set(file));
  QCOMPARE(ReadKey("org.cinnamon.desktop.background", "picture-uri"),
           "file://" + dir_.path() + "/cinnamon.png");
}

void tst_GSettingsWallpaper::refusalsLeaveTheSettingsAlone() {
  const QString good = MakePicture(dir_.path(), QStringLiteral("kept.png"));
  QVERIFY(GSettingsWallpaper(GnomeBackground()).Set(good));
  const QString kept = ReadKey("org.gnome.desktop.background", "picture-uri");
  const QString broken = MakeFile(dir_.path(), QStringLiteral("broken.png"), "not a picture");

  TraceRecorder trace;
  QVERIFY(!GSettingsWallpaper(GnomeBackground()).Set(dir_.filePath("missing.png")));
  QVERIFY(!GSettingsWallpaper(GnomeBackground()).Set(broken));
  QVERIFY(!GSettingsWallpaper({"org.zvistaro.absent", "picture-uri", nullptr, true}).Set(good));
  QVERIFY(!GSettingsWallpaper({"org.gnome.desktop.background", "no-such-key", nullptr, true})
               .Set(good));
  QCOMPARE(trace.Lines().size(), 4);
  QCOMPARE(ReadKey("org.gnome.desktop.background", "picture-uri"), kept);
}

QTEST_GUILESS_MAIN(tst_GSettingsWallpaper)
#include "tst_gsettingswallpaper.moc"
