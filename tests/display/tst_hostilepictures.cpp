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
#include "imagelist/ZVRImageList.h"
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
