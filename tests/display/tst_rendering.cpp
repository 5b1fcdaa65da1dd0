#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImageWriter>
#include <QListView>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

#include <sys/resource.h>

#include "display/DisplayBox.h"
#include "display/Placement.h"
#include "display/Rendering.h"
#include "imagelist/ZVRImageList.h"
#include "picture/DesktopCopies.h"
#include "picture/PictureReader.h"
#include "support/TestSupport.h"
#include "window/WindowDriver.h"

namespace {

using Pixels = QList<std::tuple<int, int, QColor>>;
const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0);
const QString kInvalid = QStringLiteral("Error 481 - Invalid picture");

// A picture of one colour per quadrant, in the given file format; stored
// turned a quarter to the left, with metadata that says to turn it back.
QByteArray Quadrants(const char* format, int width = 300, int height = 200, bool turned = false) {
  const QRgb pixels[] = {kRed.rgb(), kGreen.rgb(), kBlue.rgb(), kYellow.rgb()};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  const QImage image(reinterpret_cast<const uchar*>(pixels), 2, 2, QImage::Format_RGB32);
  QImageWriter writer(&buffer, format);
  if (turned) writer.setTransformation(QImageIOHandler::TransformationRotate90);
  writer.write(image.scaled(width, height).transformed(QTransform().rotate(turned ? -90 : 0)));
  return bytes;
}

// Files are written as hex digits; sizes in them are 2710 (10000), 3e80
// (16000), 4e20 (20000) and 7530 (30000), big-endian unless said otherwise.

// A PNG of the header chunk given (after its length and type) and no pixels.
QByteArray Png(const char* ihdr) {
  return QByteArray::fromHex(QByteArray("89504e470d0a1a0a 0000000d 49484452") + ihdr +
                             "00000000 49444154 35af061e 00000000 49454e44 ae426082");
}

// The markers of a JPEG up to its first scan: a frame of the given kind (c0
// baseline, c2 progressive) and size of three components, the first sampled
// hv, the others 1x1, and a first scan of one component or of all three.
QByteArray Jpeg(const char* kind, const char* heightWidth, const char* hv, bool oneScan) {
  const QByteArray scan = oneScan ? "0008 01 0100" : "000c 03 0100 0200 0300";
  return QByteArray::fromHex("ffd8 ff" + QByteArray(kind) + "0011 08" + heightWidth + "03 01" + hv +
                             "00 021100 031100 ffda" + scan + "003f00") +
         QByteArray(64, 0) + QByteArray::fromHex("ffd9");
}

// An 8-bit run-length coded BMP header claiming a square of the given side
// (little-endian), with no pixels: runs may skip pixels, so its length tells
// nothing.
QByteArray Bmp(const QByteArray& side) {
  return QByteArray::fromHex("424d 36000000 00000000 36000000 28000000" + side + side +
                             "0100 0800 01000000 00000000 130b0000 130b0000 00000000 00000000");
}

// A progressive JPEG of the given size whose first scan comes again and
// again: each one a pass over the whole picture, of a few bytes.
QByteArray JpegOfScans(const char* heightWidth, int scans) {
  return Jpeg("c2", heightWidth, "11", false).chopped(2) +
         QByteArray::fromHex("ffda 0008 01 0100 0000 00").repeated(scans) +
         QByteArray::fromHex("ffd9");
}

// What the box shows inside its frame once the picture a paint asked for is
// decoded (off the window's thread).
QImage Inner(DisplayBox* box) {
  box->grab();
  [box] { QTRY_VERIFY_WITH_TIMEOUT(!box->Decoding(), 60000); }();
  return box->grab().toImage().copy(box->contentsRect()).convertToFormat(QImage::Format_RGB32);
}

// The cleared box with one line of text at its top-left corner.
QImage Line(DisplayBox* box, const QString& line = {}) {
  QImage image(box->contentsRect().size(), QImage::Format_RGB32);
  image.fill(box->palette().color(box->backgroundRole()));
  QPainter painter(&image);
  painter.setFont(box->font());
  painter.setPen(box->palette().color(box->foregroundRole()));
  painter.drawText(QPoint(0, painter.fontMetrics().ascent()), line);
  return image;
}

// Each pixel is (nearly) the colour given.
void Check(DisplayBox* box, const Pixels& pixels) {
  const QImage inner = Inner(box);
  for (const auto& [x, y, c] : pixels) {
    const QColor at = inner.pixelColor(x, y);
    const int off =
        qAbs(at.red() - c.red()) + qAbs(at.green() - c.green()) + qAbs(at.blue() - c.blue());
    QVERIFY2(off <= 24, qPrintable(QStringLiteral("(%1, %2) is %3").arg(x).arg(y).arg(at.name())));
  }
}

}  // namespace

class tst_Rendering : public QObject {
  Q_OBJECT

 private slots:
  // First, while the process's peak memory is still low.
  void decoderCostIsJudgedFromTheHeader_data();
  void decoderCostIsJudgedFromTheHeader();
  void placesEachMode();
  void copiesForDesktopsKeepEveryPixel();
  void drawsTheListInEachMode();

 private:
  FakePlatform platform_;
  WindowDriver driver_;
};

void tst_Rendering::decoderCostIsJudgedFromTheHeader_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<int>("mode");  // the view mode to draw it in; -1: not drawn
  // The first word of a row's name is the file's extension; those named
  // "huge" are refused.
  // A progressive JPEG keeps 2 bytes a component for every pixel; colour at
  // a quarter.
  QTest::newRow("jpg progressive 200 MP") << Jpeg("c2", "2710 4e20", "22", true) << -1;
  QTest::newRow("jpg progressive 400 MP huge") << Jpeg("c2", "4e20 4e20", "22", true) << 1;
  // Row by row at 1/8 of the size: little memory whatever the size, unless
  // the components come one scan each.
  QTest::newRow("jpg baseline 900 MP") << Jpeg("c0", "7530 7530", "11", false) << -1;
  QTest::newRow("jpg baseline 900 MP in scans huge") << Jpeg("c0", "7530 7530", "11", true) << 2;
  // A GIF screen of 10000 x 10000 (little-endian) holding one 1x1 frame.
  QTest::newRow("gif 100 MP")
      << QByteArray::fromHex(
             "474946383961 1027 1027 800000 000000ffffff 2c00000000010001000002024401003b")
      << -1;
  // RGBA at 16 bits a channel, which unpacks to 8 bytes a pixel.
  QTest::newRow("png 256 MP huge") << Png("00003e80 00003e80 1006000000 11ee039d") << 3;
  QTest::newRow("bmp 100 MP") << Bmp("10270000") << -1;
  QTest::newRow("bmp 256 MP huge") << Bmp("803e0000") << 1;
  // What costs time rather than memory: scans beyond the cap, a file far
  // shorter than its pixels, and padding before the frame header, which is
  // read in blocks however long it is.
  QTest::newRow("jpg 16 MP of 1000 scans") << JpegOfScans("0fa0 0fa0", 999) << -1;
  QTest::newRow("jpg 16 MP of 50000 scans huge") << JpegOfScans("0fa0 0fa0", 50000) << 2;
  QTest::newRow("png 100 MP of 8 bits") << Png("00002710 00002710 0806000000 ba4e6227") << -1;
  QTest::newRow("png 100 MP of 16 bits huge") << Png("00002710 00002710 1006000000 eadebe64") << -1;
  QTest::newRow("tga 8192 x 8192 in 44 bytes huge")
      << QByteArray::fromHex("000002 0000000000 00000000 0020 0020 1800 00000000 00000000") +
             "TRUEVISION-XFILE." + QByteArray(1, 0)
      << 0;
  QTest::newRow("jpg after 64 MB of padding")
      << QByteArray::fromHex("ffd8") + QByteArray(64 << 20, 0) +
             Jpeg("c0", "0010 0010", "11", false).mid(2)
      << -1;
  // Every seed of the picture fuzzer, each a fault once found (the 30000 x
  // 30000 progressive JPEG whose decoder would take 5.4 GB among them) or a
  // format the program reads, drawn as fuzz_picture.cpp draws it (the first
  // byte picks the extension and the view mode).
  // The seeds of the program's own readers (fuzz_pictureformats.cpp) too.
  const QList<std::pair<const char*, QStringList>> corpora = {
      {"fuzz_picture", {"bmp", "png", "jpg", "gif", "ico", "webp", "tif", "tga"}},
      {"fuzz_pictureformats", {"heic", "avif", "jxl"}}};
  for (const auto& [corpus, extensions] : corpora) {
    const QDir seeds(QStringLiteral(ZV_PICTURE_SEEDS) + '/' + corpus);
    for (const QString& name : seeds.entryList(QDir::Files, QDir::Name)) {
      QFile seed(seeds.filePath(name));
      QVERIFY(seed.open(QIODevice::ReadOnly));
      const QByteArray bytes = seed.readAll();
      const int first = quint8(bytes.at(0));
      const int count = int(extensions.size());
      QTest::addRow("%s fuzz seed %s", qPrintable(extensions[first % count]), qPrintable(name))
          << bytes.mid(1) << (first / count) % 4;
    }
  }
}

// The header alone decides, before any decoder runs, for the box and every
// wallpaper route alike (they share PictureReader); a refused picture is an
// invalid one, and the box shows its error line in little memory.
void tst_Rendering::decoderCostIsJudgedFromTheHeader() {
  QFETCH(QByteArray, content);
  QFETCH(int, mode);
  const QString tag = QTest::currentDataTag();
  const bool shown = !tag.contains("huge");
  QTemporaryDir dir;
  const QString path = MakeFile(dir.path(), "picture." + tag.section(' ', 0, 0), content);
  QCOMPARE(PictureReader(path).Check() == PictureReader::Verdict::kReadable, shown);
  if (mode < 0) return;
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  // What the box's decoding thread makes of it, at the box's size in the
  // window: the picture, or the error line of an invalid one.
  QCOMPARE(MakeBoxContent({path, StampOf(path), mode, {278, 175}, {274, 171}, 96, 96}, false).text,
           shown ? QString() : kInvalid);
  getrusage(RUSAGE_SELF, &after);
  QVERIFY2(after.ru_maxrss - before.ru_maxrss < 128 * 1024,
           "the peak memory grew by 128 MiB or more");
}

// Each row: view mode, picture size in HIMETRIC, square box in twips, and the
// destination in pixels. The source is always the whole picture from its top
// row.
void tst_Rendering::placesEachMode() {
  constexpr float kBox = 2535;  // 169 pixels at 96 dots per inch
  const QList<std::tuple<int, int, int, float, QList<int>>> rows = {
      {0, 2646, 1323, kBox, {0, 0, 100, 50}},  // original keeps a smaller picture whole
      // (169 - 24) / 2 is exactly 72.5: half to even gives 72, not 73.
      {1, 635, 635, kBox, {72, 72, 24, 24}},
      // 1.68989... x 50.0031... is 84.49999...: rounded once from double, not
      // first to single precision (84.5) and then again.
      {3, 2646, 1323, kBox, {0, 42, 169, 84}},
      {3, 7938, 5292, 0, {0, 0, 0, 0}},                  // an empty box
      {3, 0, 0, kBox, {0, 0, 0, 0}},                     // an infinite factor times zero is NaN: 0
      {2, 2646, 1323, 1e12f, {0, 0, INT_MAX, INT_MAX}},  // clamped to the int range
  };
  for (const auto& [mode, width, height, box, expected] : rows) {
    const Placement p = ComputePlacement(mode, width, height, box, box, 96, 96);
    const PlacementDraw& d = p.draw;
    QCOMPARE(p.kind, Placement::Kind::Draw);
    QCOMPARE(QList<int>({d.x, d.y, d.cx, d.cy, d.xSrc, d.ySrc, d.cxSrc, d.cySrc}),
             (expected + QList<int>{0, height - 1, width, -height}));
  }
  // The modes without a drawing: the text even for a picture that fits.
  for (const int mode : {-1, 4, 5, 6, 32768}) {
    QCOMPARE(ComputePlacement(mode, 4471, 4471, kBox, kBox, 96, 96).kind,
             mode == 4 || mode == 5 ? Placement::Kind::Text : Placement::Kind::Nothing);
  }
}

// A desktop that reads the file itself gets a lossless picture of another
// format as a PNG copy (written by the program's own PNG writer) that holds
// every pixel of it, transparency included, whatever the rows hold.
void tst_Rendering::copiesForDesktopsKeepEveryPixel() {
  QTemporaryDir dir;
  QImage noise(301, 203, QImage::Format_ARGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < noise.height(); ++y) {
    for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, random.generate() | 0x80000000u);
  }
  for (const char* format : {"bmp", "tiff"}) {
    const QString file = dir.filePath(QStringLiteral("noise.") + format);
    const bool alpha = qstrcmp(format, "tiff") == 0;
    QVERIFY(noise.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32)
                .save(file, format));
    const DesktopCopy copy(file, dir.filePath("copies"));
    QImageReader written(copy.Path());
    QCOMPARE(written.format(), "png");
    QCOMPARE(written.read().convertToFormat(QImage::Format_ARGB32),
             QImage(file).convertToFormat(QImage::Format_ARGB32));
  }
  // On a full disk the cause names it, and no part of a copy is left.
  const QString full = dir.filePath("full");
  QVERIFY(QDir().mkpath(full));
  if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", full}) != 0) {
    QSKIP("a small disk cannot be mounted here");
  }
  const auto unmount = qScopeGuard([&full] { QProcess::execute("umount", {full}); });
  try {
    DesktopCopy(dir.filePath("noise.bmp"), full);
    QFAIL("a copy was written to a full disk");
  } catch (const ProgramError& error) {
    QVERIFY2(error.Cause().contains("(No space left on device)"), qPrintable(error.Cause()));
  }
  QCOMPARE(QDir(full).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// One window over a list of a picture, a file that changes between
// repaints, and a slow picture beyond row 32767.
void tst_Rendering::drawsTheListInEachMode() {
  QTemporaryDir dir;
  const QByteArray png = Quadrants("png");
  const QString quadrants = MakeFile(dir.path(), "quadrants.png", png);
  const QString changing = MakeFile(dir.path(), "changing.png", png);
  const QString slow = MakeFile(dir.path(), "slow.png", Quadrants("png", 8000, 8000));
  const QString turned = MakeFile(dir.path(), "turned.tif", Quadrants("tiff", 300, 200, true));
  modMain::SharedImageList()->Add(QStringList{quadrants, changing, turned});
  for (int i = 3; i < 40000; ++i) modMain::SharedImageList()->Add(quadrants);
  modMain::SharedImageList()->Add(slow);
  QVERIFY(driver_.Start());
  auto* box = driver_.Control<DisplayBox>("vistaro");
  auto* list = driver_.Control<QListView>("lstImageList");
  auto* modes = driver_.Control<QComboBox>("cboView");
  // The design size at 96 dots per inch, which the expected pixels assume.
  QCOMPARE(box->geometry().size(), QSize(278, 175));
  list->setCurrentIndex(list->model()->index(-1, 0));
  QCOMPARE(Inner(box), Line(box));
  list->setCurrentIndex(list->model()->index(0, 0));
  const QColor none = box->palette().color(box->backgroundRole());
  const QList<Pixels> expected = {
      // Original: pixel for pixel from the picture's top-left corner.
      {{149, 50, kRed}, {150, 50, kGreen}, {50, 99, kRed}, {50, 100, kBlue}, {273, 170, kYellow}},
      // Centered: the picture at (-11, -13), still pixel for pixel.
      {{138, 50, kRed}, {139, 50, kGreen}, {50, 86, kRed}, {50, 87, kBlue}, {200, 150, kYellow}},
      // Stretched to the box's outer size, 278 x 175.
      {{120, 70, kRed}, {160, 70, kGreen}, {120, 100, kBlue}, {270, 168, kYellow}},
      // Proportionally: full height, 262 wide, centred at x = 8.
      {{3, 80, none}, {20, 20, kRed}, {250, 20, kGreen}, {20, 160, kBlue}, {273, 80, none}}};
  // The same for a picture stored on its side that its metadata turns
  // upright: it is placed and drawn as the upright one.
  for (const int row : {0, 2}) {
    list->setCurrentIndex(list->model()->index(row, 0));
    for (int mode = 0; mode < 4; ++mode) {
      modes->setCurrentIndex(mode);
      Check(box, expected[mode]);
    }
  }
  list->setCurrentIndex(list->model()->index(0, 0));
  for (const int mode : {4, 5, -1}) {
    modes->setCurrentIndex(mode);
    QCOMPARE(Inner(box),
             Line(box, mode < 0 ? QString() : QStringLiteral("Currently not supported")));
  }
  modes->setCurrentIndex(0);
  driver_.Control<QCheckBox>("chkView")->setChecked(false);
  QCOMPARE(Inner(box), Line(box));
  driver_.Control<QCheckBox>("chkView")->setChecked(true);

  // The box loads the file afresh whenever it changed, so whatever happened
  // to it since the last repaint shows at once.
  list->setCurrentIndex(list->model()->index(1, 0));
  Check(box, {{273, 170, kYellow}});
  // Loading comes first: the error line even in the modes without a drawing.
  // A header that reads and pixels that do not: the error comes when the
  // pixels are decoded for drawing. An empty file.
  const QList<std::pair<QByteArray, int>> broken = {
      {"not a picture at all", 5}, {png.left(png.size() / 3), 3}, {"", 0}};
  for (const auto& [content, lastMode] : broken) {
    MakeFile(dir.path(), "changing.png", content);
    for (int mode = 0; mode <= lastMode; ++mode) {
      modes->setCurrentIndex(mode);
      QCOMPARE(Inner(box), Line(box, kInvalid));
      // The box's tooltip says why, naming the file.
      QVERIFY2(box->toolTip().startsWith('"' + changing + '"'), qPrintable(box->toolTip()));
    }
  }
  QVERIFY(QFile::remove(changing) && QDir(dir.path()).mkdir("changing.png"));
  QCOMPARE(Inner(box), Line(box, QStringLiteral("Error 53 - File not found")));
  QVERIFY(QDir(dir.path()).rmdir("changing.png"));
  // The part of a cut-off JPEG that arrived is shown; the missing rest is no
  // failure of its own.
  const QByteArray jpeg = Quadrants("jpg");
  MakeFile(dir.path(), "changing.png", jpeg.left(jpeg.size() / 3));
  modes->setCurrentIndex(0);
  Check(box, {{10, 10, kRed}});
  MakeFile(dir.path(), "changing.png", png);
  Check(box, {{273, 170, kYellow}});
  QCOMPARE(box->toolTip(), QString());

  // A picture that takes long to decode is decoded off the window's thread:
  // the box is painted cleared at once and drawn again by itself once the
  // decode is done, and the window closes with a decode in flight. Row
  // numbers beyond 32,767 neither wrap nor fail.
  list->setFocus();
  QTest::keyClick(list, Qt::Key_End);
  QCOMPARE(list->currentIndex().row(), 40000);
  const QImage first = box->grab().toImage().copy(box->contentsRect());
  QVERIFY2(box->Decoding(), "the paint waited for the decode");
  QCOMPARE(first.convertToFormat(QImage::Format_RGB32), Line(box));
  int paintsDecoded = 0;
  connect(box, &DisplayBox::Paint, this, [&] { paintsDecoded += box->Decoding() ? 0 : 1; });
  QTRY_VERIFY_WITH_TIMEOUT(paintsDecoded > 0, 60000);
  Check(box, {{273, 170, kRed}});
  QTest::keyClick(list, Qt::Key_Home);
  Check(box, {{273, 170, kYellow}});
  QTest::keyClick(list, Qt::Key_End);
  box->grab();
  QVERIFY(box->Decoding());
  QVERIFY(driver_.Close());
}

QTEST_MAIN(tst_Rendering)
#include "tst_rendering.moc"
