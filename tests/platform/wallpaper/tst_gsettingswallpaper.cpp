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

void tst_GSettingsWallpaper::refusalsLeaveTheSettingsAlone() {
  const QString good = MakePicture(dir_.path(), QStringLiteral("kept.png"));
  QVERIFY(GSettingsWallpaper(GnomeBackground()).Set(good));
  const QString kept = ReadKey("org.gnome.desktop.background", "picture-uri");
  QVERIFY2(KeyfileText().contains("picture-uri-dark='" + kept + "'"), qPrintable(KeyfileText()));

  TraceRecorder trace;
  QVERIFY(!GSettingsWallpaper({"org.zvistaro.absent", "picture-uri", nullptr, true}).Set(good));
  QVERIFY(!GSettingsWallpaper({"org.gnome.desktop.background", "no-such-key", nullptr, true})
               .Set(good));
  QCOMPARE(trace.Lines().size(), 2);
  QCOMPARE(ReadKey("org.gnome.desktop.background", "picture-uri"), kept);
}

QTEST_GUILESS_MAIN(tst_GSettingsWallpaper)
#include "tst_gsettingswallpaper.moc"
