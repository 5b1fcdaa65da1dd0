#include <QTest>

#include "display/Placement.h"

namespace {

constexpr float kBox = 2535;  // twips: 169 pixels at 96 dots per inch

}  // namespace

class tst_Placement : public QObject {
  Q_OBJECT

 private slots:
  void drawsEachMode_data();
  void drawsEachMode();
  void textOrNothingForTheOtherModes();
};

void tst_Placement::drawsEachMode_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<float>("box");
  QTest::addColumn<QList<int>>("expected");  // x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc
  // Larger pictures are also drawn through the window (tst_rendering), whose
  // pixels do not tell a box a few pixels short.
  QTest::newRow("stretched fills the box")
      << 2 << 7938 << 5292 << kBox << QList<int>{0, 0, 169, 169, 0, 5291, 7938, -5292};
  QTest::newRow("proportional takes the smaller ratio and centres the rest")
      << 3 << 7938 << 5292 << kBox << QList<int>{0, 28, 169, 113, 0, 5291, 7938, -5292};
  QTest::newRow("original keeps a smaller picture whole")
      << 0 << 2646 << 1323 << kBox << QList<int>{0, 0, 100, 50, 0, 1322, 2646, -1323};
  QTest::newRow("centered smaller picture")
      << 1 << 2646 << 1323 << kBox << QList<int>{34, 59, 100, 50, 0, 1322, 2646, -1323};
  // (169 - 24) / 2 is exactly 72.5: half to even gives 72, not 73.
  QTest::newRow("centered offset of exactly one half goes to the even pixel")
      << 1 << 635 << 635 << kBox << QList<int>{72, 72, 24, 24, 0, 634, 635, -635};
  // 1.68989... x 50.0031... is 84.49999...: rounded once from double, not
  // first to single precision (84.5) and then again.
  QTest::newRow("proportional enlarges a smaller picture")
      << 3 << 2646 << 1323 << kBox << QList<int>{0, 42, 169, 84, 0, 1322, 2646, -1323};
  QTest::newRow("proportional in an empty box draws nothing")
      << 3 << 7938 << 5292 << 0.0f << QList<int>{0, 0, 0, 0, 0, 5291, 7938, -5292};
  // An infinite factor times zero is NaN, which rounds to 0.
  QTest::newRow("proportional picture without area draws nothing")
      << 3 << 0 << 0 << kBox << QList<int>{0, 0, 0, 0, 0, -1, 0, 0};
}

void tst_Placement::drawsEachMode() {
  QFETCH(int, mode);
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(float, box);
  QFETCH(QList<int>, expected);
  const Placement p = ComputePlacement(mode, width, height, box, box, 96, 96);
  QCOMPARE(p.kind, Placement::Kind::Draw);
  const PlacementDraw& d = p.draw;
  QCOMPARE(QList<int>({d.x, d.y, d.cx, d.cy, d.xSrc, d.ySrc, d.cxSrc, d.cySrc}), expected);
}

void tst_Placement::textOrNothingForTheOtherModes() {
  for (const int mode : {-1, 4, 5, 6, 32768}) {
    // Even a picture that fits the box exactly gets the text.
    QCOMPARE(ComputePlacement(mode, 4471, 4471, kBox, kBox, 96, 96).kind,
             mode == 4 || mode == 5 ? Placement::Kind::Text : Placement::Kind::Nothing);
  }
  QCOMPARE(RoundHalfEven(1e12), std::numeric_limits<int>::max());
}

QTEST_APPLESS_MAIN(tst_Placement)
#include "tst_placement.moc"
