#include <QTest>

#include "display/Placement.h"

namespace {

constexpr float kBox = 2535;  // twips: 169 pixels at 96 dots per inch

QList<int> Flat(const PlacementDraw& d) {
  return {d.x, d.y, d.cx, d.cy, d.xSrc, d.ySrc, d.cxSrc, d.cySrc};
}

}  // namespace

class tst_Placement : public QObject {
  Q_OBJECT

 private slots:
  void drawsEachMode_data();
  void drawsEachMode();
  void textOrNothingForTheOtherModes();
  void emptyBoxOrPictureDrawsNothing();
  void roundsHalvesToEvenOnce();
};

void tst_Placement::drawsEachMode_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<QList<int>>("expected");
  QTest::newRow("original cuts the larger picture to the box")
      << 0 << 7938 << 5292 << QList<int>{0, 0, 169, 169, 0, 5291, 4471, -4471};
  QTest::newRow("centered larger picture gets negative, half-even offsets")
      << 1 << 7938 << 5292 << QList<int>{-66, -16, 300, 200, 0, 5291, 7938, -5292};
  QTest::newRow("stretched fills the box")
      << 2 << 7938 << 5292 << QList<int>{0, 0, 169, 169, 0, 5291, 7938, -5292};
  QTest::newRow("proportional takes the smaller ratio and centres the rest")
      << 3 << 7938 << 5292 << QList<int>{0, 28, 169, 113, 0, 5291, 7938, -5292};
  QTest::newRow("original keeps a smaller picture whole")
      << 0 << 2646 << 1323 << QList<int>{0, 0, 100, 50, 0, 1322, 2646, -1323};
  QTest::newRow("centered smaller picture")
      << 1 << 2646 << 1323 << QList<int>{34, 59, 100, 50, 0, 1322, 2646, -1323};
  // (169 - 24) / 2 is exactly 72.5: half to even gives 72, not 73.
  QTest::newRow("centered offset of exactly one half goes to the even pixel")
      << 1 << 635 << 635 << QList<int>{72, 72, 24, 24, 0, 634, 635, -635};
  // 1.68989... x 50.0031... is 84.49999...: rounded once from double, not
  // first to single precision (84.5) and then again.
  QTest::newRow("proportional enlarges a smaller picture")
      << 3 << 2646 << 1323 << QList<int>{0, 42, 169, 84, 0, 1322, 2646, -1323};
}

void tst_Placement::drawsEachMode() {
  QFETCH(int, mode);
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(QList<int>, expected);
  const Placement p = ComputePlacement(mode, width, height, kBox, kBox, 96, 96);
  QCOMPARE(p.kind, Placement::Kind::Draw);
  QCOMPARE(Flat(p.draw), expected);
}

void tst_Placement::textOrNothingForTheOtherModes() {
  for (const int mode : {4, 5}) {
    // Even a picture that fits the box exactly gets the text.
    QCOMPARE(ComputePlacement(mode, 4471, 4471, kBox, kBox, 96, 96).kind, Placement::Kind::Text);
  }
  for (const int mode : {-1, 6, 32768}) {
    QCOMPARE(ComputePlacement(mode, 7938, 5292, kBox, kBox, 96, 96).kind, Placement::Kind::Nothing);
  }
  QCOMPARE(kNotSupportedText, QStringLiteral("Currently not supported"));
}

void tst_Placement::emptyBoxOrPictureDrawsNothing() {
  const QList<QList<int>> cases = {{7938, 5292, 0}, {0, 5292, 1}, {7938, 0, 1}, {0, 0, 1}};
  for (int mode = 0; mode <= 3; ++mode) {
    for (const QList<int>& c : cases) {
      const float box = c[2] ? kBox : 0;
      const PlacementDraw d = ComputePlacement(mode, c[0], c[1], box, kBox, 96, 96).draw;
      // Centred, the picture is still placed, onto a surface without area.
      const bool empty =
          d.cx == 0 || d.cy == 0 || d.cxSrc == 0 || d.cySrc == 0 || (box == 0 && mode == 1);
      QVERIFY2(
          empty,
          qPrintable(
              QStringLiteral("mode %1, %2 x %3, box %4").arg(mode).arg(c[0]).arg(c[1]).arg(box)));
    }
  }
}

void tst_Placement::roundsHalvesToEvenOnce() {
  QCOMPARE(QList<int>({RoundHalfEven(2.5), RoundHalfEven(3.5), RoundHalfEven(-64.5)}),
           QList<int>({2, 4, -64}));
  QCOMPARE(RoundHalfEven(std::nan("")), 0);
  QCOMPARE(RoundHalfEven(1e12), std::numeric_limits<int>::max());
}

QTEST_APPLESS_MAIN(tst_Placement)
#include "tst_placement.moc"
