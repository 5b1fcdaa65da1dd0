#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImageWriter>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "display/DisplayBox.h"
#include "imagelist/ZVRImageList.h"
#include "startup/modMain.h"
#include "support/TestSupport.h"
#include "window/frmMain.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);

// 300 x 200 pixels, one colour per quadrant.
QImage QuadrantPicture() {
  QImage image(300, 200, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(0, 0, 150, 100, kRed);
  painter.fillRect(150, 0, 150, 100, kGreen);
  painter.fillRect(0, 100, 150, 100, kBlue);
  painter.fillRect(150, 100, 150, 100, kYellow);
  return image;
}

bool Near(QColor actual, QColor expected) {
  return qAbs(actual.red() - expected.red()) <= 12 &&
         qAbs(actual.green() - expected.green()) <= 12 &&
         qAbs(actual.blue() - expected.blue()) <= 12;
}

}  // namespace

class tst_Rendering : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void eachModePlacesTheQuadrants();
  void fileThatCannotBeLoadedShowsTheErrorLineInEveryMode();
  void fileDeletedAfterListingShowsTheErrorAtNextRepaint();
  void repeatedModesShowTheirText();
  void boxIsClearedWithoutViewOrCurrentEntry();
  void hugeJpegDisplays();
  void keyboardMoveThroughTheListRedraws();
  void listOfMoreThan32767EntriesShowsTheRightFile();

 private:
  QString Add(const QString& name, const QImage& image, const char* format = "PNG");
  void Open();
  QImage Inner();
  QImage Expected(const QString& line);
  void CheckPixel(int x, int y, QColor expected);

  std::unique_ptr<FakePlatform> platform_;
  std::unique_ptr<QTemporaryDir> dir_;
  QPointer<frmMain> window_;
  DisplayBox* box_ = nullptr;
  QListWidget* list_ = nullptr;
  QComboBox* modes_ = nullptr;
  QCheckBox* view_ = nullptr;
  QImage inner_;
};

void tst_Rendering::init() {
  platform_ = std::make_unique<FakePlatform>();
  dir_ = std::make_unique<QTemporaryDir>();
}

void tst_Rendering::cleanup() {
  if (window_) window_->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(!window_);
  platform_.reset();
}

QString tst_Rendering::Add(const QString& name, const QImage& image, const char* format) {
  const QString path = dir_->filePath(name);
  if (!image.isNull()) {
    QImageWriter writer(path, format);
    if (!writer.write(image)) qFatal("cannot write %s", qPrintable(path));
  }
  modMain::SharedImageList()->Add(path);
  return path;
}

void tst_Rendering::Open() {
  window_ = modMain::SharedMainForm().get();
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_));
  box_ = window_->findChild<DisplayBox*>(QStringLiteral("vistaro"));
  list_ = window_->findChild<QListWidget*>(QStringLiteral("lstImageList"));
  modes_ = window_->findChild<QComboBox*>(QStringLiteral("cboView"));
  view_ = window_->findChild<QCheckBox*>(QStringLiteral("chkView"));
  QVERIFY(box_ && list_ && modes_ && view_);
  // The design size at 96 dots per inch, which the expected pixels assume.
  QCOMPARE(box_->size(), QSize(278, 175));
  QCOMPARE(box_->contentsRect(), QRect(2, 2, 274, 171));
}

QImage tst_Rendering::Inner() {
  inner_ = box_->grab().toImage().copy(box_->contentsRect()).convertToFormat(QImage::Format_RGB32);
  return inner_;
}

// The cleared box with one line of text at its top-left corner.
QImage tst_Rendering::Expected(const QString& line) {
  QImage image(box_->contentsRect().size(), QImage::Format_RGB32);
  image.fill(box_->palette().color(box_->backgroundRole()));
  if (!line.isEmpty()) {
    QPainter painter(&image);
    painter.setFont(box_->font());
    painter.setPen(box_->palette().color(box_->foregroundRole()));
    painter.drawText(QPoint(0, painter.fontMetrics().ascent()), line);
  }
  return image;
}

void tst_Rendering::CheckPixel(int x, int y, QColor expected) {
  const QColor actual = inner_.pixelColor(x, y);
  QVERIFY2(Near(actual, expected), qPrintable(QStringLiteral("(%1, %2) is %3, expected %4")
                                                  .arg(x)
                                                  .arg(y)
                                                  .arg(actual.name(), expected.name())));
}

void tst_Rendering::eachModePlacesTheQuadrants() {
  Add(QStringLiteral("quadrants.png"), QuadrantPicture());
  Open();
  list_->setCurrentRow(0);
  const QColor background = box_->palette().color(box_->backgroundRole());

  // Original: pixel for pixel from the picture's top-left corner.
  Inner();
  CheckPixel(149, 50, kRed);
  CheckPixel(150, 50, kGreen);
  CheckPixel(50, 99, kRed);
  CheckPixel(50, 100, kBlue);
  CheckPixel(273, 170, kYellow);

  // Centered: the 300 x 200 picture at (-11, -13), still pixel for pixel.
  modes_->setCurrentIndex(1);
  Inner();
  CheckPixel(138, 50, kRed);
  CheckPixel(139, 50, kGreen);
  CheckPixel(50, 86, kRed);
  CheckPixel(50, 87, kBlue);
  CheckPixel(200, 150, kYellow);

  // Stretched to the box's outer size, 278 x 175.
  modes_->setCurrentIndex(2);
  Inner();
  CheckPixel(120, 70, kRed);
  CheckPixel(160, 70, kGreen);
  CheckPixel(120, 100, kBlue);
  CheckPixel(270, 168, kYellow);

  // Proportionally: 0.875 x, full height, centred horizontally at x = 8.
  modes_->setCurrentIndex(3);
  Inner();
  CheckPixel(3, 80, background);
  CheckPixel(20, 20, kRed);
  CheckPixel(250, 20, kGreen);
  CheckPixel(20, 160, kBlue);
  CheckPixel(250, 160, kYellow);
  CheckPixel(273, 80, background);
}

void tst_Rendering::fileThatCannotBeLoadedShowsTheErrorLineInEveryMode() {
  const QString garbage = MakeFile(dir_->path(), QStringLiteral("garbage.png"), "not a picture");
  modMain::SharedImageList()->Add(garbage);
  // A header that reads fine and pixels that do not: the failure comes when
  // the pixels are decoded for drawing and shows the same line; the modes
  // that draw nothing decode nothing.
  QByteArray png;
  {
    QFile whole(Add(QStringLiteral("whole.png"), QuadrantPicture()));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    png = whole.readAll();
  }
  modMain::SharedImageList()->Add(
      MakeFile(dir_->path(), QStringLiteral("truncated.png"), png.left(png.size() / 3)));
  Open();
  const QImage invalid = Expected(QStringLiteral("Error 481 - Invalid picture"));
  for (const int row : {0, 2}) {
    list_->setCurrentRow(row);
    for (int mode = 0; mode <= (row == 0 ? 5 : 3); ++mode) {
      modes_->setCurrentIndex(mode);
      QVERIFY2(Inner() == invalid, qPrintable(QStringLiteral("row %1 mode %2").arg(row).arg(mode)));
    }
  }
}

void tst_Rendering::fileDeletedAfterListingShowsTheErrorAtNextRepaint() {
  const QString path = Add(QStringLiteral("soon-gone.png"), QuadrantPicture());
  Open();
  list_->setCurrentRow(0);
  Inner();
  CheckPixel(10, 10, kRed);
  QVERIFY(QFile::remove(path));
  const QImage notFound = Expected(QStringLiteral("Error 53 - File not found"));
  for (int mode = 0; mode <= 5; ++mode) {
    modes_->setCurrentIndex(mode);
    QCOMPARE(Inner(), notFound);
  }
}

void tst_Rendering::repeatedModesShowTheirText() {
  Add(QStringLiteral("quadrants.png"), QuadrantPicture());
  Open();
  list_->setCurrentRow(0);
  for (const int mode : {4, 5}) {
    modes_->setCurrentIndex(mode);
    QCOMPARE(Inner(), Expected(QStringLiteral("Currently not supported")));
  }
  modes_->setCurrentIndex(-1);
  QCOMPARE(Inner(), Expected(QString()));
}

void tst_Rendering::boxIsClearedWithoutViewOrCurrentEntry() {
  Add(QStringLiteral("quadrants.png"), QuadrantPicture());
  Open();
  QCOMPARE(list_->currentRow(), -1);
  QCOMPARE(Inner(), Expected(QString()));
  list_->setCurrentRow(0);
  view_->setChecked(false);
  QCOMPARE(Inner(), Expected(QString()));
  view_->setChecked(true);
  Inner();
  CheckPixel(10, 10, kRed);
}

void tst_Rendering::hugeJpegDisplays() {
  // 9000 x 6000: decoded whole it would need over 200 MB.
  QImage huge(9000, 6000, QImage::Format_Grayscale8);
  huge.fill(0);
  QPainter(&huge).fillRect(4500, 0, 4500, 6000, Qt::white);
  Add(QStringLiteral("huge.jpg"), huge, "JPEG");
  huge = QImage();
  Open();
  list_->setCurrentRow(0);
  Inner();
  CheckPixel(10, 10, Qt::black);
  CheckPixel(270, 160, Qt::black);
  modes_->setCurrentIndex(3);
  Inner();
  CheckPixel(40, 80, Qt::black);
  CheckPixel(230, 80, Qt::white);
}

void tst_Rendering::keyboardMoveThroughTheListRedraws() {
  QImage red(300, 200, QImage::Format_RGB32);
  red.fill(kRed);
  QImage blue = red;
  blue.fill(kBlue);
  Add(QStringLiteral("red.png"), red);
  Add(QStringLiteral("blue.png"), blue);
  Open();
  int paints = 0;
  connect(box_, &DisplayBox::Paint, this, [&paints] { ++paints; });
  list_->setFocus();
  list_->setCurrentRow(0);
  QTRY_VERIFY(paints > 0);
  paints = 0;
  QTest::keyClick(list_, Qt::Key_Down);
  QCOMPARE(list_->currentRow(), 1);
  QTRY_VERIFY(paints > 0);
  Inner();
  CheckPixel(100, 100, kBlue);
}

// Rows beyond 32,767 must neither wrap nor fail.
void tst_Rendering::listOfMoreThan32767EntriesShowsTheRightFile() {
  QImage red(300, 200, QImage::Format_RGB32);
  red.fill(kRed);
  const QString redPath = Add(QStringLiteral("red.png"), red);
  for (int i = 1; i < 40000; ++i) modMain::SharedImageList()->Add(redPath);
  QImage blue = red;
  blue.fill(kBlue);
  Add(QStringLiteral("blue.png"), blue);
  Open();
  QCOMPARE(list_->count(), 40001);
  list_->setCurrentRow(40000);
  Inner();
  CheckPixel(100, 100, kBlue);
}

QTEST_MAIN(tst_Rendering)
#include "tst_rendering.moc"
