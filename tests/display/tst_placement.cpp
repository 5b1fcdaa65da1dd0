#include <QTest>

#include "display/Placement.h"

Q_DECLARE_METATYPE(PlacementDraw)

namespace {

// The display box of the design size: 2535 x 2535 twips, 169 pixels.
constexpr float kBox = 2535;

PlacementDraw Draw(int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc) {
  return {x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc};
}

}  // namespace

class tst_Placement : public QObject {
  Q_OBJECT

 private slots:
  void drawsEachMode_data();
  void drawsEachMode();
  void modesWithoutDrawing();
  void emptyBoxOrPictureDrawsNothing();
  void roundsHalvesToEven();
  void smallPictureIsEnlargedProportionally();
};

void tst_Placement::drawsEachMode_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("pictureWidth");
  QTest::addColumn<int>("pictureHeight");
  QTest::addColumn<PlacementDraw>("expected");
  QTest::newRow("original cuts the larger picture to the box")
      << 0 << 7938 << 5292 << Draw(0, 0, 169, 169, 0, 5291, 4471, -4471);
  QTest::newRow("centered larger picture gets negative, half-even offsets")
      << 1 << 7938 << 5292 << Draw(-66, -16, 300, 200, 0, 5291, 7938, -5292);
  QTest::newRow("stretched fills the box")
      << 2 << 7938 << 5292 << Draw(0, 0, 169, 169, 0, 5291, 7938, -5292);
  QTest::newRow("proportional takes the smaller ratio and centres the rest")
      << 3 << 7938 << 5292 << Draw(0, 28, 169, 113, 0, 5291, 7938, -5292);
  QTest::newRow("original keeps a smaller picture whole")
      << 0 << 2646 << 1323 << Draw(0, 0, 100, 50, 0, 1322, 2646, -1323);
  QTest::newRow("centered smaller picture")
      << 1 << 2646 << 1323 << Draw(34, 59, 100, 50, 0, 1322, 2646, -1323);
}

void tst_Placement::drawsEachMode() {
  QFETCH(int, mode);
  QFETCH(int, pictureWidth);
  QFETCH(int, pictureHeight);
  QFETCH(PlacementDraw, expected);
  const Placement p = ComputePlacement(mode, pictureWidth, pictureHeight, kBox, kBox, 96, 96);
  QCOMPARE(p.kind, Placement::Kind::Draw);
  QCOMPARE(p.draw.x, expected.x);
  QCOMPARE(p.draw.y, expected.y);
  QCOMPARE(p.draw.cx, expected.cx);
  QCOMPARE(p.draw.cy, expected.cy);
  QCOMPARE(p.draw.xSrc, expected.xSrc);
  QCOMPARE(p.draw.ySrc, expected.ySrc);
  QCOMPARE(p.draw.cxSrc, expected.cxSrc);
  QCOMPARE(p.draw.cySrc, expected.cySrc);
}

void tst_Placement::modesWithoutDrawing() {
  // The repeated modes give their text even for a picture that fits exactly.
  for (const int mode : {4, 5}) {
    QCOMPARE(ComputePlacement(mode, 4471, 4471, kBox, kBox, 96, 96).kind, Placement::Kind::Text);
    QCOMPARE(ComputePlacement(mode, 0, 0, 0, 0, 96, 96).kind, Placement::Kind::Text);
  }
  for (const int mode : {-1, 6, 32767}) {
    QCOMPARE(ComputePlacement(mode, 7938, 5292, kBox, kBox, 96, 96).kind, Placement::Kind::Nothing);
  }
  QCOMPARE(kNotSupportedText, QStringLiteral("Currently not supported"));
}

void tst_Placement::emptyBoxOrPictureDrawsNothing() {
  for (int mode = 0; mode <= 3; ++mode) {
    const Placement box = ComputePlacement(mode, 7938, 5292, 0, kBox, 96, 96);
    QVERIFY2(box.kind != Placement::Kind::Draw || box.draw.cx == 0 || mode == 1,
             qPrintable(QString::number(mode)));
    for (const auto& [w, h] : {std::pair{0, 5292}, std::pair{7938, 0}, std::pair{0, 0}}) {
      const Placement picture = ComputePlacement(mode, w, h, kBox, kBox, 96, 96);
      QCOMPARE(picture.kind, Placement::Kind::Draw);
      const PlacementDraw& d = picture.draw;
      const bool empty = d.cx == 0 || d.cy == 0 || d.cxSrc == 0 || d.cySrc == 0;
      QVERIFY2(empty, qPrintable(QStringLiteral("mode %1, %2 x %3").arg(mode).arg(w).arg(h)));
    }
  }
  // Centred in a box without width: the picture lies wholly to the left.
  const Placement centred = ComputePlacement(1, 7938, 5292, 0, kBox, 96, 96);
  QVERIFY(centred.draw.x + centred.draw.cx <= 150);
}

void tst_Placement::roundsHalvesToEven() {
  QCOMPARE(RoundHalfEven(2.5), 2);
  QCOMPARE(RoundHalfEven(3.5), 4);
  QCOMPARE(RoundHalfEven(-65.5), -66);
  QCOMPARE(RoundHalfEven(-64.5), -64);
  QCOMPARE(RoundHalfEven(0.49999), 0);
  QCOMPARE(RoundHalfEven(std::nan("")), 0);
  QCOMPARE(RoundHalfEven(1e12), std::numeric_limits<int>::max());
}

void tst_Placement::smallPictureIsEnlargedProportionally() {
  // 100 x 50 pixels into 169 x 169: factor 1.69, width fills.
  const Placement p = ComputePlacement(3, 2646, 1323, kBox, kBox, 96, 96);
  QCOMPARE(p.draw.cx, 169);
  QCOMPARE(p.draw.cy, 84);
  QCOMPARE(p.draw.y, 42);
  // At 120 dots per inch the same picture and box are larger in pixels.
  const Placement hiDpi = ComputePlacement(0, 2646, 1323, kBox, kBox, 120, 120);
  QCOMPARE(hiDpi.draw.cx, 125);
  QCOMPARE(hiDpi.draw.cy, 63);
}

QTEST_APPLESS_MAIN(tst_Placement)
#include "tst_placement.moc"
