#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QListView>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>

#include "display/BoxPictures.h"
#include "display/DisplayBox.h"
#include "display/Picture.h"
#include "display/PictureReader.h"
#include "display/Rendering.h"
#include "imagelist/ZVRImageList.h"
#include "kit/ProgramError.h"
#include "support/TestSupport.h"
#include "window/WindowDriver.h"

namespace {

const QString kInvalidPicture = QStringLiteral("Error 481 - Invalid picture");
const QString kFileNotFound = QStringLiteral("Error 53 - File not found");

// The CRC-32 that PNG chunks end with.
quint32 Crc32(const QByteArray& bytes) {
  quint32 crc = 0xffffffffu;
  for (const char byte : bytes) {
    crc ^= quint8(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

QByteArray Chunk(const char* type, const QByteArray& data) {
  QByteArray chunk;
  QDataStream out(&chunk, QIODevice::WriteOnly);
  out << quint32(data.size());
  const QByteArray typed = QByteArray(type) + data;
  chunk += typed;
  QDataStream(&chunk, QIODevice::Append) << Crc32(typed);
  return chunk;
}

// A PNG whose header claims the given size, followed by a little pixel data.
QByteArray ClaimedPng(quint32 width, quint32 height) {
  QByteArray header;
  QDataStream(&header, QIODevice::WriteOnly)
      << width << height << quint8(8) << quint8(2) << quint8(0) << quint8(0) << quint8(0);
  return QByteArray("\x89PNG\r\n\x1a\n") + Chunk("IHDR", header) +
         Chunk("IDAT", qCompress(QByteArray(20000, '\0')).mid(4)) + Chunk("IEND", {});
}

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (const int value : values) bytes += char(value);
  return bytes;
}
QByteArray Be16(int value) { return Bytes({value >> 8, value}); }
QByteArray Le16(int value) { return Bytes({value, value >> 8}); }
QByteArray Le32(qint32 value) { return Le16(value & 0xffff) + Le16(int(quint32(value) >> 16)); }

// The markers of a JPEG up to its first scan: a frame of the given kind
// (0xc0 baseline, 0xc2 progressive) with components sampled 1x1 after a
// first one sampled hv, and a first scan of scanned components.
QByteArray JpegHeader(int frame, int width, int height, int components, int hv, int scanned) {
  QByteArray sof = QByteArray(1, 8) + Be16(height) + Be16(width) + char(components);
  for (int i = 0; i < components; ++i) sof += Bytes({i + 1, i ? 0x11 : hv, 0});
  QByteArray sos(1, char(scanned));
  for (int i = 0; i < scanned; ++i) sos += Bytes({i + 1, 0});
  sos += Bytes({0, 63, 0});
  return QByteArray("\xff\xd8\xff", 3) + char(frame) + Be16(sof.size() + 2) + sof +
         QByteArray("\xff\xda", 2) + Be16(sos.size() + 2) + sos + QByteArray(64, 0) +
         QByteArray("\xff\xd9", 2);
}

// A GIF whose logical screen has the given size, holding one 1x1 frame.
QByteArray ScreenGif(int width, int height) {
  static constexpr char kRest[] =
      "\x80\0\0\0\0\0\xff\xff\xff\x2c\0\0\0\0\x01\0\x01\0\0"
      "\x02\x02\x44\x01\0\x3b";
  return QByteArray("GIF89a") + Le16(width) + Le16(height) + QByteArray(kRest, sizeof kRest - 1);
}

// A 24-bit BMP header claiming the given size, with no pixels.
QByteArray ClaimedBmp(qint32 width, qint32 height) {
  return QByteArray("BM") + Le32(54) + Le32(0) + Le32(54) + Le32(40) + Le32(width) + Le32(height) +
         Le16(1) + Le16(24) + Le32(0) + Le32(0) + Le32(2835) + Le32(2835) + Le32(0) + Le32(0);
}

// An icon of one entry holding the given PNG, whose own header may claim far
// more than the directory's byte-sized width and height.
QByteArray IconHolding(const QByteArray& png) {
  return QByteArray("\0\0\x01\0\x01\0\0\0\0\0\x01\0\x20\0", 14) + Le32(png.size()) + Le32(22) + png;
}

// A PNG header claiming the given size and bit depth, RGB with alpha.
QByteArray DeepPng(quint32 width, quint32 height, quint8 depth) {
  QByteArray png = ClaimedPng(width, height);
  png[24] = char(depth);
  png[25] = 6;
  const QByteArray header = png.mid(12, 17);
  QByteArray crc;
  QDataStream(&crc, QIODevice::WriteOnly) << Crc32(header);
  return png.left(29) + crc + png.mid(33);
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

class tst_HostilePictures : public QObject {
  Q_OBJECT

 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }
  void cleanup() {
    if (driver_.IsOpen()) QVERIFY(driver_.Close());
  }
  void absurdHeaderShowsTheErrorQuicklyInBoundedMemory();
  void decoderCostIsJudgedFromTheHeader_data();
  void decoderCostIsJudgedFromTheHeader();
  void slowPictureNeverBlocksTheWindow();
  void truncatedJpegShowsWhatWasDecoded();
  void fileThatBreaksBetweenRepaints();

 private:
  void Open() {
    QVERIFY(driver_.Start());
    box_ = driver_.Control<DisplayBox>("vistaro");
    list_ = driver_.Control<QListView>("lstImageList");
    modes_ = driver_.Control<QComboBox>("cboView");
    list_->setCurrentIndex(list_->model()->index(0, 0));
  }
  QImage Inner() { return InnerPicture(box_); }
  QImage Expected(const QString& line) { return TextLinePicture(box_, line); }

  FakePlatform platform_;
  std::unique_ptr<QTemporaryDir> dir_;
  WindowDriver driver_;
  DisplayBox* box_ = nullptr;
  QListView* list_ = nullptr;
  QComboBox* modes_ = nullptr;
};

// Runs first, while the process is still small, so that the peak it reports
// is the cost of this picture and not of another test.
void tst_HostilePictures::absurdHeaderShowsTheErrorQuicklyInBoundedMemory() {
  modMain::SharedImageList()->Add(MakeFile(dir_->path(), "huge.png", ClaimedPng(50000, 50000)));
  Open();
  const long before = PeakRssKb();
  qint64 slowest = 0;
  for (int mode = 0; mode <= 3; ++mode) {
    QElapsedTimer timer;
    timer.start();
    modes_->setCurrentIndex(mode);
    QCOMPARE(Inner(), Expected(kInvalidPicture));
    slowest = std::max(slowest, timer.elapsed());
    QVERIFY2(slowest < 2000,
             qPrintable(QStringLiteral("mode %1 took %2 ms").arg(mode).arg(slowest)));
  }
  const long grown = PeakRssKb() - before;
  qInfo(
      "50000 x 50000 PNG header: peak RSS %ld KiB before, %ld KiB after drawing every mode; "
      "slowest mode %lld ms",
      before, before + grown, static_cast<long long>(slowest));
  QVERIFY2(grown < 64 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB").arg(grown)));
}

void tst_HostilePictures::decoderCostIsJudgedFromTheHeader_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("extension");
  QTest::addColumn<int>("mode");  // the view mode to draw it in; -1: not drawn
  QTest::addColumn<bool>("shown");
  // A progressive JPEG keeps 2 bytes a component for every pixel: 5.4 GB.
  QTest::newRow("progressive JPEG, 30000 x 30000 (the fuzzer's finding)")
      << JpegHeader(0xc2, 30000, 30000, 3, 0x11, 1) << "jpg" << 0 << false;
  QTest::newRow("progressive JPEG, 100 megapixels at full colour")
      << JpegHeader(0xc2, 12500, 8000, 3, 0x11, 1) << "jpg" << -1 << true;
  QTest::newRow("progressive JPEG, 200 megapixels, colour at a quarter")
      << JpegHeader(0xc2, 20000, 10000, 3, 0x22, 1) << "jpg" << -1 << true;
  QTest::newRow("progressive JPEG, 400 megapixels, colour at a quarter")
      << JpegHeader(0xc2, 20000, 20000, 3, 0x22, 1) << "jpg" << 1 << false;
  // Row by row at 1/8 of the size: little memory whatever the size.
  QTest::newRow("baseline JPEG, 30000 x 30000, one scan")
      << JpegHeader(0xc0, 30000, 30000, 3, 0x11, 3) << "jpg" << -1 << true;
  QTest::newRow("baseline JPEG, 30000 x 30000, one scan a component")
      << JpegHeader(0xc0, 30000, 30000, 3, 0x11, 1) << "jpg" << 2 << false;
  QTest::newRow("GIF screen of 16000 x 16000 in 35 bytes")
      << ScreenGif(16000, 16000) << "gif" << 0 << false;
  QTest::newRow("GIF screen of 10000 x 10000") << ScreenGif(10000, 10000) << "gif" << -1 << true;
  QTest::newRow("PNG, 16 bits, 100 megapixels") << DeepPng(10000, 10000, 16) << "png" << -1 << true;
  QTest::newRow("PNG, 16 bits, 16000 x 16000") << DeepPng(16000, 16000, 16) << "png" << 3 << false;
  QTest::newRow("PNG, 8 bits, 50000 x 50000") << ClaimedPng(50000, 50000) << "png" << 0 << false;
  QTest::newRow("icon entry holding a PNG of 20000 x 20000")
      << IconHolding(ClaimedPng(20000, 20000)) << "ico" << 2 << false;
  QTest::newRow("icon entry holding a PNG of 64 x 64")
      << IconHolding(ClaimedPng(64, 64)) << "ico" << -1 << true;
  QTest::newRow("BMP, 100 megapixels") << ClaimedBmp(10000, 10000) << "bmp" << -1 << true;
  QTest::newRow("BMP, 16000 x 16000") << ClaimedBmp(16000, 16000) << "bmp" << 1 << false;
  // Every seed of the picture fuzzer, each a fault once found or a format
  // the program reads, drawn as fuzz_picture.cpp draws it (the first byte
  // picks the extension and the view mode). Those named "huge" are refused.
  const QStringList extensions = {"bmp", "png", "jpg", "gif", "ico", "webp", "tif", "tga"};
  const QDir seeds(QStringLiteral(ZV_PICTURE_SEEDS));
  for (const QString& name : seeds.entryList(QDir::Files, QDir::Name)) {
    QFile seed(seeds.filePath(name));
    QVERIFY(seed.open(QIODevice::ReadOnly));
    const QByteArray bytes = seed.readAll();
    const int first = quint8(bytes.at(0));
    QTest::addRow("fuzz seed %s", qPrintable(name))
        << bytes.mid(1) << extensions[first % 8] << (first / 8) % 4 << !name.contains("huge");
  }
}

// The header alone decides, before any decoder runs, for the box and every
// wallpaper route alike (they share PictureReader); a refused picture is an
// invalid one, and the box shows its error line at once in little memory.
void tst_HostilePictures::decoderCostIsJudgedFromTheHeader() {
  QFETCH(QByteArray, content);
  QFETCH(QString, extension);
  QFETCH(int, mode);
  QFETCH(bool, shown);
  const QString path = MakeFile(dir_->path(), "picture." + extension, content);
  QCOMPARE(PictureReader(path).Check() == PictureReader::Verdict::kReadable, shown);
  try {
    Picture::Load(path, 96, 96);
    QVERIFY(shown);
  } catch (const ProgramError& error) {
    QVERIFY(!shown);
    QCOMPARE(error.Number(), 481);
  }
  if (mode < 0) return;
  DisplayBox box;
  box.resize(278, 175);  // the box's size in the window
  connect(&box, &DisplayBox::Paint, [&](QPainter* painter) {
    RenderDisplay(*painter, box, {1, 0, true, mode}, [&](int) { return path; });
  });
  const long before = PeakRssKb();
  const QImage drawn = InnerPicture(&box);
  if (!shown) QCOMPARE(drawn, TextLinePicture(&box, kInvalidPicture));
  const long grown = PeakRssKb() - before;
  QVERIFY2(grown < 128 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB").arg(grown)));
}

// A picture that takes seconds to decode (8000 x 8000 pixels of PNG, within
// the cost cap) is decoded off the window's thread: the box stays empty
// meanwhile, a paint takes no time, and the window closes at once.
void tst_HostilePictures::slowPictureNeverBlocksTheWindow() {
  QByteArray rows;
  for (int row = 0; row < 8000; ++row) rows += QByteArray(1 + 8000 * 3, '\0');
  QByteArray header;
  QDataStream(&header, QIODevice::WriteOnly) << quint32(8000) << quint32(8000) << quint8(8)
                                             << quint8(2) << quint8(0) << quint8(0) << quint8(0);
  const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n") + Chunk("IHDR", header) +
                         Chunk("IDAT", qCompress(rows, 9).mid(4)) + Chunk("IEND", {});
  rows.clear();
  modMain::SharedImageList()->Add(MakeFile(dir_->path(), "slow.png", png));
  Open();
  QElapsedTimer timer;
  timer.start();
  const QImage first = box_->grab().toImage().copy(box_->contentsRect());
  const qint64 paint = timer.elapsed();
  QVERIFY(box_->Decoding());
  QCOMPARE(first.convertToFormat(QImage::Format_RGB32), Expected(QString()));
  QVERIFY2(paint < 500, qPrintable(QStringLiteral("the paint took %1 ms").arg(paint)));
  timer.restart();
  QVERIFY(driver_.Close());
  const qint64 close = timer.elapsed();
  qInfo("8000 x 8000 PNG: paint %lld ms while decoding, window closed in %lld ms",
        static_cast<long long>(paint), static_cast<long long>(close));
  QVERIFY2(close < 500, qPrintable(QStringLiteral("closing took %1 ms").arg(close)));
}

// The part of a cut-off JPEG that arrived is shown; the missing rest is no
// failure of its own.
void tst_HostilePictures::truncatedJpegShowsWhatWasDecoded() {
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(Qt::red);
  QPainter(&image).fillRect(0, 100, 300, 100, Qt::blue);
  const QString path = dir_->filePath("cut.jpg");
  QVERIFY(image.save(path));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadWrite));
  QVERIFY(file.resize(file.size() / 3));
  file.close();
  modMain::SharedImageList()->Add(path);
  Open();
  modes_->setCurrentIndex(0);
  const QColor topLeft = Inner().pixelColor(10, 10);
  QVERIFY2(topLeft.red() > 200 && topLeft.green() < 60 && topLeft.blue() < 60,
           qPrintable(topLeft.name()));
}

// The box loads the file afresh at every repaint, so whatever happened to
// the file in between shows at once: emptied, replaced by a folder or by
// text, and a good picture again after that.
void tst_HostilePictures::fileThatBreaksBetweenRepaints() {
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(Qt::green);
  const QString path = dir_->filePath("changing.png");
  QVERIFY(image.save(path));
  modMain::SharedImageList()->Add(path);
  // A folder named like a picture never enters the list.
  QDir(dir_->path()).mkdir("folder.png");
  modMain::SharedImageList()->Add(dir_->filePath("folder.png"));
  QCOMPARE(modMain::SharedImageList()->Count(), 1);
  Open();
  modes_->setCurrentIndex(2);
  QCOMPARE(Inner().pixelColor(10, 10), QColor(Qt::green));

  QVERIFY(QFile(path).resize(0));
  QCOMPARE(Inner(), Expected(kInvalidPicture));
  QVERIFY(QFile::remove(path) && QDir(dir_->path()).mkdir("changing.png"));
  QCOMPARE(Inner(), Expected(kFileNotFound));
  QVERIFY(QDir(dir_->path()).rmdir("changing.png"));
  MakeFile(dir_->path(), "changing.png", "not a picture at all");
  QCOMPARE(Inner(), Expected(kInvalidPicture));
  QVERIFY(QFile::remove(path) && image.save(path));
  QCOMPARE(Inner().pixelColor(10, 10), QColor(Qt::green));
}

QTEST_MAIN(tst_HostilePictures)
#include "tst_hostilepictures.moc"
