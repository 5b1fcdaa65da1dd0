#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
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

struct Disconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

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

constexpr char kTgaFooter[] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";

QString SaveAs(const QImage& image, const QString& path, const char* format) {
  if (!image.save(path, format)) qFatal("cannot save %s", qPrintable(path));
  return path;
}

}  // namespace

class tst_X11Wallpaper : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void rootWindowShowsThePictureCovered_data();
  void rootWindowShowsThePictureCovered();
  void previousPixmapIsFreed();
  void unusableFileLeavesTheRootAsItWas();

 private:
  struct Root {
    xcb_pixmap_t rootPmap = XCB_NONE;
    xcb_pixmap_t esetrootPmap = XCB_NONE;
  };
  void Connect(const PrivateXServer& server);
  xcb_pixmap_t Property(const char* name);
  Root ReadRoot();
  QRgb RootPixel(int x, int y);
  bool PixmapExists(xcb_pixmap_t pixmap);
  void VerifyBands();

  std::unique_ptr<xcb_connection_t, Disconnect> connection_;
  xcb_screen_t* screen_ = nullptr;
  QTemporaryDir dir_;
};

void tst_X11Wallpaper::init() { connection_.reset(); }

void tst_X11Wallpaper::Connect(const PrivateXServer& server) {
  QVERIFY2(server.IsRunning(), "no Xvfb could be started on :50 to :69");
  qputenv("DISPLAY", server.Display().toLatin1());
  connection_.reset(xcb_connect(nullptr, nullptr));
  QVERIFY(!xcb_connection_has_error(connection_.get()));
  screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data;
}

xcb_pixmap_t tst_X11Wallpaper::Property(const char* name) {
  xcb_connection_t* c = connection_.get();
  auto* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(qstrlen(name)), name), nullptr);
  const xcb_atom_t id = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(atom);
  if (id == XCB_ATOM_NONE) return XCB_NONE;
  auto* reply = xcb_get_property_reply(
      c, xcb_get_property(c, 0, screen_->root, id, XCB_ATOM_PIXMAP, 0, 1), nullptr);
  xcb_pixmap_t pixmap = XCB_NONE;
  if (reply && xcb_get_property_value_length(reply) == 4) {
    pixmap = *static_cast<xcb_pixmap_t*>(xcb_get_property_value(reply));
  }
  std::free(reply);
  return pixmap;
}

tst_X11Wallpaper::Root tst_X11Wallpaper::ReadRoot() {
  return {Property("_XROOTPMAP_ID"), Property("ESETROOT_PMAP_ID")};
}

// The root window's pixel as 8-bit RGB, whatever the screen's depth.
QRgb tst_X11Wallpaper::RootPixel(int x, int y) {
  xcb_connection_t* c = connection_.get();
  auto* reply = xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, int16_t(x), int16_t(y), 1, 1, ~0u),
      nullptr);
  if (reply == nullptr) return 0;
  const uint8_t* data = xcb_get_image_data(reply);
  QRgb rgb = 0;
  if (screen_->root_depth == 16) {
    const quint16 pixel = quint16(data[0] | data[1] << 8);
    rgb = qRgb((pixel >> 11) * 255 / 31, ((pixel >> 5) & 63) * 255 / 63, (pixel & 31) * 255 / 31);
  } else {
    rgb = qRgb(data[2], data[1], data[0]);
  }
  std::free(reply);
  return rgb;
}

bool tst_X11Wallpaper::PixmapExists(xcb_pixmap_t pixmap) {
  xcb_connection_t* c = connection_.get();
  xcb_generic_error_t* error = nullptr;
  auto* reply = xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), &error);
  std::free(error);
  std::free(reply);
  return reply != nullptr;
}

void tst_X11Wallpaper::VerifyBands() {
  const std::pair<int, QRgb> expected[] = {{20, qRgb(255, 0, 0)},
                                           {100, qRgb(0, 255, 0)},
                                           {220, qRgb(0, 0, 255)},
                                           {300, qRgb(255, 255, 255)}};
  for (int y : {0, 120, 239}) {
    for (const auto& [x, rgb] : expected) {
      const QRgb seen = RootPixel(x, y);
      QVERIFY2(qAbs(qRed(seen) - qRed(rgb)) <= 24 && qAbs(qGreen(seen) - qGreen(rgb)) <= 24 &&
                   qAbs(qBlue(seen) - qBlue(rgb)) <= 24,
               qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(seen, 6, 16)));
    }
  }
}

void tst_X11Wallpaper::rootWindowShowsThePictureCovered_data() {
  QTest::addColumn<QString>("screen");
  QTest::addColumn<QString>("format");
  QTest::addColumn<QSize>("size");  // the bands scaled to this size
  const QSize bands(400, 200);
  QTest::newRow("depth 24, PNG") << "320x240x24"
                                 << "png" << bands;
  // A JPEG three times as large, to go through the decoder's own scaling.
  QTest::newRow("depth 24, JPEG decoded at screen size") << "320x240x24"
                                                         << "jpg" << QSize(1200, 600);
  QTest::newRow("depth 16 packs 5-6-5 pixels") << "320x240x16"
                                               << "png" << bands;
  // Every format the window shows, Qt's image format plugins included.
  for (const char* format : {"bmp", "gif", "webp", "tif", "tga", "ico"}) {
    QTest::addRow("depth 24, %s", format) << "320x240x24" << format << QSize(256, 128);
  }
  // Photos of 100 megapixels and more are set: a JPEG shrinks while it is
  // decoded; a PNG is decoded once at full size, past Qt's default 128 MB
  // allocation limit.
  QTest::newRow("depth 24, progressive JPEG of 104 megapixels")
      << "320x240x24"
      << "progressive-jpg" << QSize(14400, 7200);
  QTest::newRow("depth 24, PNG of 104 megapixels") << "320x240x24"
                                                   << "png" << QSize(14400, 7200);
}

void tst_X11Wallpaper::rootWindowShowsThePictureCovered() {
  QFETCH(QString, screen);
  QFETCH(QString, format);
  QFETCH(QSize, size);
  PrivateXServer server(screen);
  Connect(server);
  const QString file = dir_.filePath("bands #1." + format.section('-', -1));
  const QImage bands = size == Bands().size() ? Bands() : Bands().scaled(size);
  if (QImageWriter::supportedImageFormats().contains(file.section('.', -1).toLatin1())) {
    QImageWriter writer(file);
    writer.setProgressiveScanWrite(format.startsWith("progressive"));
    QVERIFY2(writer.write(bands), qPrintable(writer.errorString()));
  } else {
    // GIF and TGA, which Qt reads but does not write, come from ImageMagick.
    const QString png = dir_.filePath("bands.png");
    QVERIFY(bands.save(png));
    QCOMPARE(QProcess::execute("convert", {png, file}), 0);
    // Qt reads TGA files of version 2 only, known by their footer.
    QFile tga(file);
    if (format == "tga") QVERIFY(tga.open(QIODevice::Append) && tga.write(kTgaFooter, 26) == 26);
  }

  QVERIFY(X11Wallpaper().Set(file));
  const Root root = ReadRoot();
  QVERIFY(root.rootPmap != XCB_NONE);
  QCOMPARE(root.esetrootPmap, root.rootPmap);
  VerifyBands();
}

void tst_X11Wallpaper::previousPixmapIsFreed() {
  PrivateXServer server(QStringLiteral("320x240x24"));
  Connect(server);
  const QString first = SaveAs(Bands(), dir_.filePath("first.png"), "png");
  QImage green(64, 64, QImage::Format_RGB32);
  green.fill(Qt::green);
  const QString second = SaveAs(green, dir_.filePath("second.png"), "png");

  QVERIFY(X11Wallpaper().Set(first));
  const Root before = ReadRoot();
  QVERIFY(PixmapExists(before.rootPmap));
  QVERIFY(X11Wallpaper().Set(second));
  const Root after = ReadRoot();
  QVERIFY(after.rootPmap != before.rootPmap);
  QCOMPARE(after.esetrootPmap, after.rootPmap);
  QVERIFY(PixmapExists(after.rootPmap));
  QVERIFY2(!PixmapExists(before.rootPmap), "the first wallpaper's pixmap was kept");
  QCOMPARE(RootPixel(160, 120), qRgb(0, 255, 0));
}

void tst_X11Wallpaper::unusableFileLeavesTheRootAsItWas() {
  PrivateXServer server(QStringLiteral("320x240x24"));
  Connect(server);
  QVERIFY(X11Wallpaper().Set(SaveAs(Bands(), dir_.filePath("good.png"), "png")));
  const Root before = ReadRoot();

  QImage large(800, 600, QImage::Format_RGB32);
  large.fill(Qt::black);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  large.save(&buffer, "png");
  // The header still reads as an 800x600 picture; the pixels are cut off.
  const QString truncated = MakeFile(dir_.path(), "truncated.png", png.left(png.size() / 3));
  const QString garbage = MakeFile(dir_.path(), "garbage.png", "no picture at all");
  // The fuzzer's finding: 521 bytes whose decoder would take 2.6 GB.
  QFile finding(QStringLiteral(ZV_PICTURE_SEEDS "/jpg-huge-progressive-finding-mode0"));
  QVERIFY(finding.open(QIODevice::ReadOnly));
  const QString costly = MakeFile(dir_.path(), "costly.jpg", finding.readAll().mid(1));
  // Through the session's choice of route, which checks the picture first.
  for (const char* variable : {"XDG_CURRENT_DESKTOP", "SWAYSOCK", "ZVISTARO_WALLPAPER_COMMAND"}) {
    qunsetenv(variable);
  }
  TraceRecorder trace;
  for (const QString& file : {dir_.filePath("missing.png"), garbage, truncated, costly}) {
    QVERIFY2(!CreateLinuxWallpaper()->Set(file), qPrintable(file));
    const Root after = ReadRoot();
    QCOMPARE(after.rootPmap, before.rootPmap);
    QCOMPARE(after.esetrootPmap, before.esetrootPmap);
    QVERIFY(PixmapExists(before.rootPmap));
    VerifyBands();
  }
  QCOMPARE(trace.Lines().size(), 4);
  QVERIFY2(trace.Lines().last().contains("more than 1024 MB"), qPrintable(trace.Lines().last()));
}

QTEST_GUILESS_MAIN(tst_X11Wallpaper)
#include "tst_x11wallpaper.moc"
