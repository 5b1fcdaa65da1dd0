#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include "display/PictureReader.h"
#include "display/Rendering.h"
#include "support/TestSupport.h"

namespace {

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
  out.writeRawData(type, 4);
  out.writeRawData(data.constData(), int(data.size()));
  out << Crc32(QByteArray(type) + data);
  return chunk;
}

// A PNG whose header claims the given size (RGB, or RGBA at 16 bits),
// followed by a little pixel data.
QByteArray ClaimedPng(quint32 width, quint32 height, quint8 depth = 8) {
  QByteArray header;
  QDataStream(&header, QIODevice::WriteOnly)
      << width << height << depth << quint8(depth == 16 ? 6 : 2) << quint8(0) << quint8(0)
      << quint8(0);
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
// (0xc0 baseline, 0xc2 progressive) of three components, the first sampled
// hv, the others 1x1, and a first scan of scanned components.
QByteArray Jpeg(int frame, int width, int height, int hv, int scanned) {
  QByteArray sof = QByteArray(1, 8) + Be16(height) + Be16(width) + char(3);
  for (int i = 0; i < 3; ++i) sof += Bytes({i + 1, i ? 0x11 : hv, 0});
  QByteArray sos(1, char(scanned));
  for (int i = 0; i < scanned; ++i) sos += Bytes({i + 1, 0});
  sos += Bytes({0, 63, 0});
  return QByteArray("\xff\xd8\xff", 3) + char(frame) + Be16(sof.size() + 2) + sof +
         QByteArray("\xff\xda", 2) + Be16(sos.size() + 2) + sos + QByteArray(64, 0) +
         QByteArray("\xff\xd9", 2);
}

// A GIF whose logical screen has the given size, holding one 1x1 frame (a
// fuzz seed holds the refused 16000 x 16000 one).
QByteArray ScreenGif(int width, int height) {
  static constexpr char kRest[] =
      "\x80\0\0\0\0\0\xff\xff\xff\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0\x3b";
  return QByteArray("GIF89a") + Le16(width) + Le16(height) + QByteArray(kRest, sizeof kRest - 1);
}

// A 24-bit BMP header claiming the given size, with no pixels.
QByteArray ClaimedBmp(qint32 width, qint32 height) {
  return QByteArray("BM") + Le32(54) + Le32(0) + Le32(54) + Le32(40) + Le32(width) + Le32(height) +
         Le16(1) + Le16(24) + Le32(0) + Le32(0) + Le32(2835) + Le32(2835) + Le32(0) + Le32(0);
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
  void decoderCostIsJudgedFromTheHeader_data();
  void decoderCostIsJudgedFromTheHeader();

 private:
  QTemporaryDir dir_;
};

void tst_HostilePictures::decoderCostIsJudgedFromTheHeader_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QString>("extension");
  QTest::addColumn<int>("mode");  // the view mode to draw it in; -1: not drawn
  QTest::addColumn<bool>("shown");
  // A progressive JPEG keeps 2 bytes a component for every pixel.
  QTest::newRow("progressive JPEG, 200 megapixels, colour at a quarter")
      << Jpeg(0xc2, 20000, 10000, 0x22, 1) << "jpg" << -1 << true;
  QTest::newRow("progressive JPEG, 400 megapixels, colour at a quarter")
      << Jpeg(0xc2, 20000, 20000, 0x22, 1) << "jpg" << 1 << false;
  // Row by row at 1/8 of the size: little memory whatever the size.
  QTest::newRow("baseline JPEG, 30000 x 30000, one scan")
      << Jpeg(0xc0, 30000, 30000, 0x11, 3) << "jpg" << -1 << true;
  QTest::newRow("baseline JPEG, 30000 x 30000, one scan a component")
      << Jpeg(0xc0, 30000, 30000, 0x11, 1) << "jpg" << 2 << false;
  QTest::newRow("GIF screen of 10000 x 10000") << ScreenGif(10000, 10000) << "gif" << -1 << true;
  QTest::newRow("PNG, 16 bits, 100 megapixels")
      << ClaimedPng(10000, 10000, 16) << "png" << -1 << true;
  QTest::newRow("PNG, 16 bits, 16000 x 16000")
      << ClaimedPng(16000, 16000, 16) << "png" << 3 << false;
  QTest::newRow("BMP, 100 megapixels") << ClaimedBmp(10000, 10000) << "bmp" << -1 << true;
  QTest::newRow("BMP, 16000 x 16000") << ClaimedBmp(16000, 16000) << "bmp" << 1 << false;
  // Every seed of the picture fuzzer, each a fault once found (the 30000 x
  // 30000 progressive JPEG whose decoder would take 5.4 GB among them) or a
  // format the program reads, drawn as fuzz_picture.cpp draws it (the first
  // byte picks the extension and the view mode). Those named "huge" are
  // refused.
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
// invalid one, and the box shows its error line in little memory.
void tst_HostilePictures::decoderCostIsJudgedFromTheHeader() {
  QFETCH(QByteArray, content);
  QFETCH(QString, extension);
  QFETCH(int, mode);
  QFETCH(bool, shown);
  const QString path = MakeFile(dir_.path(), "picture." + extension, content);
  QCOMPARE(PictureReader(path).Check() == PictureReader::Verdict::kReadable, shown);
  if (mode < 0) return;
  const long before = PeakRssKb();
  // What the box's decoding thread makes of it, at the box's size in the window.
  const BoxContent drawn =
      MakeBoxContent({path, StampOf(path), mode, {278, 175}, {274, 171}, 96, 96}, false);
  if (!shown) QCOMPARE(drawn.text, QStringLiteral("Error 481 - Invalid picture"));
  const long grown = PeakRssKb() - before;
  QVERIFY2(grown < 128 * 1024, qPrintable(QStringLiteral("peak grew by %1 KiB").arg(grown)));
}

QTEST_GUILESS_MAIN(tst_HostilePictures)
#include "tst_hostilepictures.moc"
