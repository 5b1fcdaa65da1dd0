#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include "display/BoxPictures.h"
#include "display/DisplayBox.h"
#include "imagelist/ZVRImageList.h"
#include "support/TestSupport.h"
#include "window/WindowDriver.h"

namespace {

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0);

// 300 x 200 pixels, one colour per quadrant.
QImage Quadrants() {
  QImage image(300, 200, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(0, 0, 150, 100, kRed);
  painter.fillRect(150, 0, 150, 100, kGreen);
  painter.fillRect(0, 100, 150, 100, kBlue);
  painter.fillRect(150, 100, 150, 100, kYellow);
  return image;
}

QImage Filled(QColor colour) {
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

}  // namespace

class tst_Rendering : public QObject {
  Q_OBJECT

 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }
  void cleanup();
  void eachModePlacesTheQuadrants();
  void unloadableFileShowsTheErrorLine();
  void textAndClearedBox();
  void hugeJpegDisplays();
  void keyboardMoveThroughTheListRedraws();
  void listOfMoreThan32767EntriesShowsTheRightFile();

 private:
  QString Add(const QString& name, const QImage& image);
  void Open();
  // The box's inner area as drawn now.
  QImage Inner() {
    inner_ = InnerPicture(box_);
    return inner_;
  }
  QImage Expected(const QString& line) { return TextLinePicture(box_, line); }
  void Check(QList<std::tuple<int, int, QColor>> pixels);

  FakePlatform platform_;
  std::unique_ptr<QTemporaryDir> dir_;
  WindowDriver driver_;
  DisplayBox* box_ = nullptr;
  QListView* list_ = nullptr;
  QComboBox* modes_ = nullptr;
  QImage inner_;
};

void tst_Rendering::cleanup() {
  if (driver_.IsOpen()) QVERIFY(driver_.Close());
}

QString tst_Rendering::Add(const QString& name, const QImage& image) {
  const QString path = dir_->filePath(name);
  if (!image.save(path)) qFatal("cannot write %s", qPrintable(path));
  modMain::SharedImageList()->Add(path);
  return path;
}

void tst_Rendering::Open() {
  QVERIFY(driver_.Start());
  box_ = driver_.Control<DisplayBox>("vistaro");
  list_ = driver_.Control<QListView>("lstImageList");
  modes_ = driver_.Control<QComboBox>("cboView");
  // The design size at 96 dots per inch, which the expected pixels assume.
  QCOMPARE(box_->geometry().size(), QSize(278, 175));
  QCOMPARE(box_->contentsRect(), QRect(2, 2, 274, 171));
}

void tst_Rendering::Check(QList<std::tuple<int, int, QColor>> pixels) {
  for (const auto& [x, y, expected] : pixels) {
    const QColor actual = inner_.pixelColor(x, y);
    const bool near = qAbs(actual.red() - expected.red()) <= 12 &&
                      qAbs(actual.green() - expected.green()) <= 12 &&
                      qAbs(actual.blue() - expected.blue()) <= 12;
    QVERIFY2(near, qPrintable(QStringLiteral("mode %1: (%2, %3) is %4, expected %5")
                                  .arg(modes_->currentIndex())
                                  .arg(x)
                                  .arg(y)
                                  .arg(actual.name(), expected.name())));
  }
}

void tst_Rendering::eachModePlacesTheQuadrants() {
  Add(QStringLiteral("quadrants.png"), Quadrants());
  Open();
  list_->setCurrentIndex(list_->model()->index(0, 0));
  const QColor none = box_->palette().color(box_->backgroundRole());
  // Original: pixel for pixel from the picture's top-left corner.
  Inner();
  Check(
      {{149, 50, kRed}, {150, 50, kGreen}, {50, 99, kRed}, {50, 100, kBlue}, {273, 170, kYellow}});
  // Centered: the picture at (-11, -13), still pixel for pixel.
  modes_->setCurrentIndex(1);
  Inner();
  Check({{138, 50, kRed}, {139, 50, kGreen}, {50, 86, kRed}, {50, 87, kBlue}, {200, 150, kYellow}});
  // Stretched to the box's outer size, 278 x 175.
  modes_->setCurrentIndex(2);
  Inner();
  Check({{120, 70, kRed}, {160, 70, kGreen}, {120, 100, kBlue}, {270, 168, kYellow}});
  // Proportionally: full height, 262 wide, centred at x = 8.
  modes_->setCurrentIndex(3);
  Inner();
  Check({{3, 80, none},
         {20, 20, kRed},
         {250, 20, kGreen},
         {20, 160, kBlue},
         {250, 160, kYellow},
         {273, 80, none}});
}

void tst_Rendering::unloadableFileShowsTheErrorLine() {
  modMain::SharedImageList()->Add(MakeFile(dir_->path(), QStringLiteral("garbage.png"), "no"));
  // A header that reads and pixels that do not: the failure comes when the
  // pixels are decoded for drawing; the text modes decode nothing.
  QFile whole(Add(QStringLiteral("whole.png"), Quadrants()));
  QVERIFY(whole.open(QIODevice::ReadOnly));
  modMain::SharedImageList()->Add(
      MakeFile(dir_->path(), QStringLiteral("truncated.png"), whole.read(whole.size() / 3)));
  Open();
  const QImage invalid = Expected(QStringLiteral("Error 481 - Invalid picture"));
  for (const int row : {0, 2}) {
    list_->setCurrentIndex(list_->model()->index(row, 0));
    for (int mode = 0; mode <= (row == 0 ? 5 : 3); ++mode) {
      modes_->setCurrentIndex(mode);
      QVERIFY2(Inner() == invalid, qPrintable(QStringLiteral("row %1 mode %2").arg(row).arg(mode)));
    }
  }
  // Deleted after it was listed: the error line at the next repaint.
  list_->setCurrentIndex(list_->model()->index(1, 0));
  modes_->setCurrentIndex(0);
  Inner();
  Check({{10, 10, kRed}});
  QVERIFY(whole.remove());
  for (int mode = 0; mode <= 5; ++mode) {
    modes_->setCurrentIndex(mode);
    QCOMPARE(Inner(), Expected(QStringLiteral("Error 53 - File not found")));
  }
}

void tst_Rendering::textAndClearedBox() {
  Add(QStringLiteral("quadrants.png"), Quadrants());
  Open();
  QCOMPARE(list_->currentIndex().row(), -1);
  QCOMPARE(Inner(), Expected(QString()));
  list_->setCurrentIndex(list_->model()->index(0, 0));
  for (const int mode : {4, 5}) {
    modes_->setCurrentIndex(mode);
    QCOMPARE(Inner(), Expected(QStringLiteral("Currently not supported")));
  }
  modes_->setCurrentIndex(-1);
  QCOMPARE(Inner(), Expected(QString()));
  modes_->setCurrentIndex(0);
  auto* view = driver_.Control<QCheckBox>("chkView");
  view->setChecked(false);
  QCOMPARE(Inner(), Expected(QString()));
  view->setChecked(true);
  Inner();
  Check({{10, 10, kRed}});
}

void tst_Rendering::hugeJpegDisplays() {
  // Decoded whole, 9000 x 6000 pixels need over 200 MB.
  QImage huge(9000, 6000, QImage::Format_Grayscale8);
  huge.fill(0);
  QPainter(&huge).fillRect(4500, 0, 4500, 6000, Qt::white);
  Add(QStringLiteral("huge.jpg"), huge);
  huge = QImage();
  Open();
  list_->setCurrentIndex(list_->model()->index(0, 0));
  // Original shows the black top-left corner; Centered the middle, where
  // black meets white; the scaled modes the whole picture.
  const QList<QList<std::tuple<int, int, QColor>>> expected = {
      {{10, 10, Qt::black}, {270, 160, Qt::black}},
      {{130, 10, Qt::black}, {148, 160, Qt::white}},
      {{10, 10, Qt::black}, {230, 160, Qt::white}},
      {{10, 10, Qt::black}, {230, 160, Qt::white}}};
  for (int mode = 0; mode <= 3; ++mode) {
    modes_->setCurrentIndex(mode);
    Inner();
    Check(expected[mode]);
  }
}

void tst_Rendering::keyboardMoveThroughTheListRedraws() {
  Add(QStringLiteral("red.png"), Filled(kRed));
  Add(QStringLiteral("blue.png"), Filled(kBlue));
  Open();
  int paints = 0;
  connect(box_, &DisplayBox::Paint, this, [&paints] { ++paints; });
  list_->setFocus();
  list_->setCurrentIndex(list_->model()->index(0, 0));
  QTRY_VERIFY(paints > 0);
  paints = 0;
  QTest::keyClick(list_, Qt::Key_Down);
  QCOMPARE(list_->currentIndex().row(), 1);
  QTRY_VERIFY(paints > 0);
  Inner();
  Check({{100, 100, kBlue}});
}

// Row numbers beyond 32,767 must neither wrap nor fail.
void tst_Rendering::listOfMoreThan32767EntriesShowsTheRightFile() {
  const QString red = Add(QStringLiteral("red.png"), Filled(kRed));
  for (int i = 1; i < 40000; ++i) modMain::SharedImageList()->Add(red);
  Add(QStringLiteral("blue.png"), Filled(kBlue));
  Open();
  QCOMPARE(list_->model()->rowCount(), 40001);
  list_->setCurrentIndex(list_->model()->index(40000, 0));
  Inner();
  Check({{100, 100, kBlue}});
}

QTEST_MAIN(tst_Rendering)
#include "tst_rendering.moc"
