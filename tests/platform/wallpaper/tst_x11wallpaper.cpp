#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

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

struct Disconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

}  // namespace

class tst_X11Wallpaper : public QObject {
  Q_OBJECT

 private slots:
  void rootWindowShowsThePictureCovered_data();
  void rootWindowShowsThePictureCovered();
  void nextPictureReplacesTheRootOnlyWhenUsable();

 private:
  using Root = std::pair<xcb_pixmap_t, xcb_pixmap_t>;  // _XROOTPMAP_ID, ESETROOT_PMAP_ID
  void Connect(const PrivateXServer& server);
  xcb_pixmap_t Property(const char* name);
  Root ReadRoot() { return {Property("_XROOTPMAP_ID"), Property("ESETROOT_PMAP_ID")}; }
  bool PixmapExists(xcb_pixmap_t pixmap);
  void VerifyBands();

  std::unique_ptr<xcb_connection_t, Disconnect> connection_;
  xcb_screen_t* screen_ = nullptr;
  QTemporaryDir dir_;
};

void tst_X11Wallpaper::Connect(const PrivateXServer& server) {
  QVERIFY2(!server.Display().isEmpty(), "no Xvfb could be started");
  qputenv("DISPLAY", server.Display().toLatin1());
  connection_.reset(xcb_connect(nullptr, nullptr));
  QVERIFY(!xcb_connection_has_error(connection_.get()));
  screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data;
}

xcb_pixmap_t tst_X11Wallpaper::Property(const char* name) {
  xcb_connection_t* c = connection_.get();
  auto* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(qstrlen(name)), name), nullptr);
  auto* reply = xcb_get_property_reply(
      c, xcb_get_property(c, 0, screen_->root, atom ? atom->atom : 0, XCB_ATOM_PIXMAP, 0, 1),
      nullptr);
  xcb_pixmap_t pixmap = XCB_NONE;
  if (reply && xcb_get_property_value_length(reply) == 4) {
    pixmap = *static_cast<xcb_pixmap_t*>(xcb_get_property_value(reply));
  }
  std::free(atom);
  std::free(reply);
  return pixmap;
}

bool tst_X11Wallpaper::PixmapExists(xcb_pixmap_t pixmap) {
  xcb_connection_t* c = connection_.get();
  xcb_generic_error_t* error = nullptr;
  auto* reply = xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), &error);
  std::free(error);
  std::free(reply);
  return reply != nullptr;
}

// The root window's pixels, as 8-bit RGB whatever the screen's depth, show
// the bands covering it; a picture fitted inside would show red at x 60 and
// white at x 260.
void tst_X11Wallpaper::VerifyBands() {
  const std::pair<int, QRgb> expected[] = {{20, qRgb(255, 0, 0)},  {60, qRgb(0, 255, 0)},
                                           {150, qRgb(0, 255, 0)}, {170, qRgb(0, 0, 255)},
                                           {260, qRgb(0, 0, 255)}, {300, qRgb(255, 255, 255)}};
  xcb_connection_t* c = connection_.get();
  for (int y : {0, 120, 239}) {
    for (const auto& [x, rgb] : expected) {
      auto* reply = xcb_get_image_reply(
          c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, x, y, 1, 1, ~0u), nullptr);
      QVERIFY(reply);
      const uint8_t* data = xcb_get_image_data(reply);
      const quint16 pixel = quint16(data[0] | data[1] << 8);
      const QRgb seen = screen_->root_depth == 16
                            ? qRgb((pixel >> 11) * 255 / 31, ((pixel >> 5) & 63) * 255 / 63,
                                   (pixel & 31) * 255 / 31)
                            : qRgb(data[2], data[1], data[0]);
      std::free(reply);
      QVERIFY2(qAbs(qRed(seen) - qRed(rgb)) <= 24 && qAbs(qGreen(seen) - qGreen(rgb)) <= 24 &&
                   qAbs(qBlue(seen) - qBlue(rgb)) <= 24,
               qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(seen, 6, 16)));
    }
  }
}

void tst_X11Wallpaper::rootWindowShowsThePictureCovered_data() {
  QTest::addColumn<QString>("screen");
  QTest::addColumn<QString>("suffix");
  QTest::addColumn<QSize>("size");  // the bands scaled to this size
  QTest::addColumn<int>("format");  // the pixels' format, as the file keeps it
  const int rgb = QImage::Format_RGB32;
  QTest::newRow("depth 24, PNG") << "320x240x24"
                                 << "png" << QSize(400, 200) << rgb;
  QTest::newRow("depth 16 packs 5-6-5 pixels") << "320x240x16"
                                               << "png" << QSize(400, 200) << rgb;
  QTest::newRow("depth 24, JPEG shrunk while decoded") << "320x240x24"
                                                       << "jpg" << QSize(1200, 600) << rgb;
  QTest::newRow("depth 24, PNG of palette colours")
      << "320x240x24"
      << "png" << QSize(256, 128) << int(QImage::Format_Indexed8);
  // Decoded at 144 MB, past Qt's default allocation limit of 128 MB.
  QTest::newRow("depth 24, PNG of 16-bit channels and alpha")
      << "320x240x24"
      << "png" << QSize(6000, 3000) << int(QImage::Format_RGBA64);
}

void tst_X11Wallpaper::rootWindowShowsThePictureCovered() {
  QFETCH(QString, screen);
  QFETCH(QString, suffix);
  QFETCH(QSize, size);
  QFETCH(int, format);
  PrivateXServer server(screen);
  Connect(server);
  const QString file = dir_.filePath("bands #1." + suffix);
  QVERIFY(Bands().scaled(size).convertToFormat(QImage::Format(format)).save(file));
  QVERIFY(X11Wallpaper().Set(file));
  const Root root = ReadRoot();
  QVERIFY(root.first != XCB_NONE);
  QCOMPARE(root.second, root.first);
  VerifyBands();
}

void tst_X11Wallpaper::nextPictureReplacesTheRootOnlyWhenUsable() {
  PrivateXServer server(QStringLiteral("320x240x24"));
  Connect(server);
  QImage green(64, 64, QImage::Format_RGB32);
  green.fill(Qt::green);
  QVERIFY(green.save(dir_.filePath("green.png")));
  QVERIFY(X11Wallpaper().Set(dir_.filePath("green.png")));
  const Root first = ReadRoot();
  QVERIFY(Bands().save(dir_.filePath("bands.png")));
  QVERIFY(X11Wallpaper().Set(dir_.filePath("bands.png")));
  const Root second = ReadRoot();
  QVERIFY(second.first != first.first);
  QCOMPARE(second.second, second.first);
  QVERIFY2(!PixmapExists(first.first), "the first wallpaper's pixmap was kept");
  VerifyBands();

  // Through the session's route, which checks the picture first. A header
  // that reads as an 800x600 picture whose pixels are cut off; and the
  // fuzzer's finding, 521 bytes whose decoder would take 2.6 GB.
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  Bands().scaled(800, 600).save(&buffer, "png");
  QFile finding(QStringLiteral(ZV_PICTURE_SEEDS "/jpg-huge-progressive-finding-mode0"));
  QVERIFY(finding.open(QIODevice::ReadOnly));
  for (const char* variable : {"XDG_CURRENT_DESKTOP", "SWAYSOCK"}) qunsetenv(variable);
  TraceRecorder trace;
  for (const QString& file : {MakeFile(dir_.path(), "truncated.png", png.left(png.size() / 3)),
                              MakeFile(dir_.path(), "costly.jpg", finding.readAll().mid(1))}) {
    QVERIFY2(!CreateLinuxWallpaper()->Set(file), qPrintable(file));
    QCOMPARE(ReadRoot(), second);
    VerifyBands();
  }
  QVERIFY(PixmapExists(second.first));
  QCOMPARE(trace.Lines().size(), 2);
  QVERIFY2(trace.Lines().last().contains("more than 1024 MB"), qPrintable(trace.Lines().last()));
}

QTEST_GUILESS_MAIN(tst_X11Wallpaper)
#include "tst_x11wallpaper.moc"
