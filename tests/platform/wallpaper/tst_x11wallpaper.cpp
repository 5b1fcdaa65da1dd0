#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>

#include "WallpaperTestSupport.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"
#include "platform/linux/wallpaper/X11Wallpaper.h"
#include "support/TestSupport.h"

namespace {

// Four upright bands of 100 pixels each: red, green, blue, white. Covering a
// 320x240 screen scales it by 1.2 and cuts 80 pixels off either side, so the
// screen shows red up to x 40, green to 160, blue to 280 and white after.
QImage Bands() {
  QImage image(400, 200, QImage::Format_RGB32);
  QPainter painter(&image);
  const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::white};
  for (int i = 0; i < 4; ++i) painter.fillRect(100 * i, 0, 100, 200, colours[i]);
  return image;
}

QByteArray Output(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished();
  return process.readAllStandardOutput();
}

// The pixmaps that the root window's _XROOTPMAP_ID and ESETROOT_PMAP_ID name.
QList<xcb_pixmap_t> RootPixmaps() {
  QList<xcb_pixmap_t> pixmaps;
  const QString text = Output("xprop", {"-root", "_XROOTPMAP_ID", "ESETROOT_PMAP_ID"});
  for (const auto& match : QRegularExpression("# (0x[0-9a-f]+)").globalMatch(text)) {
    pixmaps << match.captured(1).toUInt(nullptr, 16);
  }
  return pixmaps;
}

// The root window shows the bands covering it, whatever the screen's depth;
// a picture fitted inside would show red at x 60 and white at x 260.
void VerifyBands() {
  const QImage root = QImage::fromData(Output("import", {"-window", "root", "png:-"}));
  const std::pair<int, QColor> expected[] = {{20, Qt::red},   {60, Qt::green}, {150, Qt::green},
                                             {170, Qt::blue}, {260, Qt::blue}, {300, Qt::white}};
  for (int y : {0, 120, 239}) {
    for (const auto& [x, colour] : expected) {
      const QColor seen = root.pixelColor(x, y);
      QVERIFY2(qAbs(seen.red() - colour.red()) + qAbs(seen.green() - colour.green()) +
                       qAbs(seen.blue() - colour.blue()) <=
                   48,
               qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(seen.name())));
    }
  }
}

}  // namespace

class tst_X11Wallpaper : public QObject {
  Q_OBJECT

 private slots:
  void rootWindowShowsThePictureCovered_data();
  void rootWindowShowsThePictureCovered();

 private:
  QTemporaryDir dir_;
};

void tst_X11Wallpaper::rootWindowShowsThePictureCovered_data() {
  QTest::addColumn<QString>("screen");
  QTest::addColumn<QString>("suffix");
  QTest::addColumn<QSize>("size");  // the bands scaled to this size
  QTest::addColumn<int>("format");  // the pixels' format, as the file keeps it
  const auto row = [](const char* tag, const char* screen, const char* suffix, QSize size,
                      QImage::Format format = QImage::Format_RGB32) {
    QTest::newRow(tag) << QString(screen) << QString(suffix) << size << int(format);
  };
  row("depth 16 packs 5-6-5 pixels", "320x240x16", "png", {400, 200});
  row("depth 24, JPEG shrunk while decoded", "320x240x24", "jpg", {1200, 600});
  row("depth 24, PNG of palette colours", "320x240x24", "png", {256, 128}, QImage::Format_Indexed8);
  // Decoded at 144 MB, past Qt's default allocation limit of 128 MB.
  row("depth 24, PNG of 16-bit channels and alpha", "320x240x24", "png", {6000, 3000},
      QImage::Format_RGBA64);
}

// Each picture is set twice: the second root pixmap replaces the first,
// which goes. Then the session's route, which checks a picture first,
// refuses a header that reads as an 800x600 picture whose pixels are cut
// off, and the root stays as it was.
void tst_X11Wallpaper::rootWindowShowsThePictureCovered() {
  QFETCH(QString, screen);
  QFETCH(QString, suffix);
  QFETCH(QSize, size);
  QFETCH(int, format);
  PrivateXServer server(screen);
  qputenv("DISPLAY", server.Display().toLatin1());
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const auto exists = [connection](xcb_pixmap_t pixmap) {
    xcb_generic_error_t* error = nullptr;
    std::free(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, pixmap), &error));
    std::free(error);
    return error == nullptr;
  };
  const QString file = dir_.filePath("bands #1." + suffix);
  QVERIFY(Bands().scaled(size).convertToFormat(QImage::Format(format)).save(file));
  QVERIFY(X11Wallpaper().Set(file));
  const QList<xcb_pixmap_t> first = RootPixmaps();
  QVERIFY(X11Wallpaper().Set(file));
  const QList<xcb_pixmap_t> root = RootPixmaps();
  QVERIFY(root.size() == 2 && root[0] != XCB_NONE && root[0] != first.value(0) &&
          root[1] == root[0]);
  QVERIFY2(!exists(first.value(0)), "the first wallpaper's pixmap was kept");
  VerifyBands();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  Bands().scaled(800, 600).save(&buffer, "png");
  for (const char* variable : {"XDG_CURRENT_DESKTOP", "SWAYSOCK"}) qunsetenv(variable);
  TraceRecorder trace;
  QVERIFY(!CreateLinuxWallpaper()->Set(MakeFile(dir_.path(), "cut.png", png.left(png.size() / 3))));
  QCOMPARE(RootPixmaps(), root);
  VerifyBands();
  QVERIFY(exists(root[0]));
  xcb_disconnect(connection);
  QCOMPARE(trace.Lines().size(), 1);
}

QTEST_GUILESS_MAIN(tst_X11Wallpaper)
#include "tst_x11wallpaper.moc"
