#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QListView>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "display/DisplayBox.h"
#include "imagelist/ZVRImageList.h"
#include "support/TestSupport.h"
#include "window/WindowDriver.h"

namespace {

using Pixels = QList<std::tuple<int, int, QColor>>;
const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0);
const QString kInvalid = QStringLiteral("Error 481 - Invalid picture");

// 300 x 200 pixels, one colour per quadrant, in the given file format.
QByteArray Quadrants(const char* format) {
  QImage image(300, 200, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.fillRect(0, 0, 150, 100, kRed);
  painter.fillRect(150, 0, 150, 100, kGreen);
  painter.fillRect(0, 100, 150, 100, kBlue);
  painter.fillRect(150, 100, 150, 100, kYellow);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

}  // namespace

class tst_Rendering : public QObject {
  Q_OBJECT

 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }
  void cleanup() {
    if (driver_.IsOpen()) QVERIFY(driver_.Close());
  }
  void eachModeDrawsOrSaysWhyNot();
  void fileThatChangesBetweenRepaints();
  void slowEntryBeyond32767IsDrawnOnceDecoded();

 private:
  QString Add(const QString& name, const QByteArray& content) {
    const QString path = MakeFile(dir_->path(), name, content);
    modMain::SharedImageList()->Add(path);
    return path;
  }
  void Open(int row);
  QImage Inner();
  QImage Line(const QString& line);
  void Check(const Pixels& pixels);

  FakePlatform platform_;
  std::unique_ptr<QTemporaryDir> dir_;
  WindowDriver driver_;
  DisplayBox* box_ = nullptr;
  QListView* list_ = nullptr;
  QComboBox* modes_ = nullptr;
};

// Opens the window with the list's row selected (-1: none).
void tst_Rendering::Open(int row) {
  QVERIFY(driver_.Start());
  box_ = driver_.Control<DisplayBox>("vistaro");
  list_ = driver_.Control<QListView>("lstImageList");
  modes_ = driver_.Control<QComboBox>("cboView");
  // The design size at 96 dots per inch, which the expected pixels assume.
  QCOMPARE(box_->geometry().size(), QSize(278, 175));
  list_->setCurrentIndex(list_->model()->index(row, 0));
}

// What the box shows inside its frame once the picture a paint asked for is
// decoded (off the window's thread).
QImage tst_Rendering::Inner() {
  box_->grab();
  [this] { QTRY_VERIFY_WITH_TIMEOUT(!box_->Decoding(), 60000); }();
  return box_->grab().toImage().copy(box_->contentsRect()).convertToFormat(QImage::Format_RGB32);
}

// The cleared box with one line of text at its top-left corner.
QImage tst_Rendering::Line(const QString& line) {
  QImage image(box_->contentsRect().size(), QImage::Format_RGB32);
  image.fill(box_->palette().color(box_->backgroundRole()));
  QPainter painter(&image);
  painter.setFont(box_->font());
  painter.setPen(box_->palette().color(box_->foregroundRole()));
  painter.drawText(QPoint(0, painter.fontMetrics().ascent()), line);
  return image;
}

void tst_Rendering::Check(const Pixels& pixels) {
  const QImage inner = Inner();
  for (const auto& [x, y, expected] : pixels) {
    const QColor seen = inner.pixelColor(x, y);
    const int off = qAbs(seen.red() - expected.red()) + qAbs(seen.green() - expected.green()) +
                    qAbs(seen.blue() - expected.blue());
    QVERIFY2(off <= 24, qPrintable(QStringLiteral("mode %1: (%2, %3) is %4")
                                       .arg(modes_->currentIndex())
                                       .arg(x)
                                       .arg(y)
                                       .arg(seen.name())));
  }
}

void tst_Rendering::eachModeDrawsOrSaysWhyNot() {
  Add("quadrants.png", Quadrants("png"));
  Open(-1);
  QCOMPARE(Inner(), Line(QString()));
  list_->setCurrentIndex(list_->model()->index(0, 0));
  const QColor none = box_->palette().color(box_->backgroundRole());
  const QList<Pixels> expected = {
      // Original: pixel for pixel from the picture's top-left corner.
      {{149, 50, kRed}, {150, 50, kGreen}, {50, 99, kRed}, {50, 100, kBlue}, {273, 170, kYellow}},
      // Centered: the picture at (-11, -13), still pixel for pixel.
      {{138, 50, kRed}, {139, 50, kGreen}, {50, 86, kRed}, {50, 87, kBlue}, {200, 150, kYellow}},
      // Stretched to the box's outer size, 278 x 175.
      {{120, 70, kRed}, {160, 70, kGreen}, {120, 100, kBlue}, {270, 168, kYellow}},
      // Proportionally: full height, 262 wide, centred at x = 8.
      {{3, 80, none}, {20, 20, kRed}, {250, 20, kGreen}, {20, 160, kBlue}, {273, 80, none}}};
  for (int mode = 0; mode < 4; ++mode) {
    modes_->setCurrentIndex(mode);
    Check(expected[mode]);
  }
  for (const int mode : {4, 5}) {
    modes_->setCurrentIndex(mode);
    QCOMPARE(Inner(), Line(QStringLiteral("Currently not supported")));
  }
  modes_->setCurrentIndex(-1);
  QCOMPARE(Inner(), Line(QString()));
  modes_->setCurrentIndex(0);
  driver_.Control<QCheckBox>("chkView")->setChecked(false);
  QCOMPARE(Inner(), Line(QString()));
}

// The box loads the file afresh whenever it changed, so whatever happened to
// it since the last repaint shows at once.
void tst_Rendering::fileThatChangesBetweenRepaints() {
  const QByteArray png = Quadrants("png");
  const QString path = Add("changing.png", png);
  Open(0);
  Check({{273, 170, kYellow}});
  // Loading comes first: the error line even in the modes without a drawing.
  // A header that reads and pixels that do not: the error comes when the
  // pixels are decoded for drawing. An empty file.
  const QList<std::pair<QByteArray, int>> broken = {
      {"not a picture at all", 5}, {png.left(png.size() / 3), 3}, {"", 0}};
  for (const auto& [content, lastMode] : broken) {
    MakeFile(dir_->path(), "changing.png", content);
    for (int mode = 0; mode <= lastMode; ++mode) {
      modes_->setCurrentIndex(mode);
      QCOMPARE(Inner(), Line(kInvalid));
    }
  }
  QVERIFY(QFile::remove(path) && QDir(dir_->path()).mkdir("changing.png"));
  QCOMPARE(Inner(), Line(QStringLiteral("Error 53 - File not found")));
  QVERIFY(QDir(dir_->path()).rmdir("changing.png"));
  // The part of a cut-off JPEG that arrived is shown; the missing rest is no
  // failure of its own.
  const QByteArray jpeg = Quadrants("jpg");
  MakeFile(dir_->path(), "changing.png", jpeg.left(jpeg.size() / 3));
  modes_->setCurrentIndex(0);
  Check({{10, 10, kRed}});
  MakeFile(dir_->path(), "changing.png", png);
  Check({{273, 170, kYellow}});
}

// A picture that takes long to decode is decoded off the window's thread:
// the box is painted cleared at once and drawn again by itself once the
// decode is done, and the window closes with a decode in flight. Row numbers
// beyond 32,767 neither wrap nor fail.
void tst_Rendering::slowEntryBeyond32767IsDrawnOnceDecoded() {
  const QString red = Add("red.png", Quadrants("png"));
  for (int i = 1; i < 40000; ++i) modMain::SharedImageList()->Add(red);
  QImage slow(8000, 8000, QImage::Format_RGB32);
  slow.fill(kBlue);
  QVERIFY(slow.save(dir_->filePath("slow.png")));
  slow = QImage();
  modMain::SharedImageList()->Add(dir_->filePath("slow.png"));
  Open(0);
  Check({{10, 10, kRed}});
  list_->setFocus();
  QTest::keyClick(list_, Qt::Key_End);
  QCOMPARE(list_->currentIndex().row(), 40000);
  const QImage first = box_->grab().toImage().copy(box_->contentsRect());
  QVERIFY2(box_->Decoding(), "the paint waited for the decode");
  QCOMPARE(first.convertToFormat(QImage::Format_RGB32), Line(QString()));
  int paintsDecoded = 0;
  connect(box_, &DisplayBox::Paint, this, [&] { paintsDecoded += box_->Decoding() ? 0 : 1; });
  QTRY_VERIFY_WITH_TIMEOUT(paintsDecoded > 0, 60000);
  Check({{10, 10, kBlue}});
  QTest::keyClick(list_, Qt::Key_Home);
  Check({{10, 10, kRed}});
  QTest::keyClick(list_, Qt::Key_End);
  box_->grab();
  QVERIFY(box_->Decoding());
  QVERIFY(driver_.Close());
}

QTEST_MAIN(tst_Rendering)
#include "tst_rendering.moc"
