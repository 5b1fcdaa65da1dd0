#include <QTest>

#include "window/Layout.h"

namespace {

// Design sizes of the controls the layout keeps; frames reported as requested.
LayoutInput DesignInput(float width, float height) {
  const FrameRects frames = ComputeFrames(width, height);
  LayoutInput in{false,
                 width,
                 height,
                 {frames.imageView.width, frames.imageView.height},
                 {frames.imageList.width, frames.imageList.height},
                 {660, 195},
                 315,
                 285,
                 {{855, 255}, {255, 255}, {255, 255}, {495, 255}, {255, 255}}};
  return in;
}

QList<float> Flat(const TwipRect& r) { return {r.left, r.top, r.width, r.height}; }

}  // namespace

class tst_Layout : public QObject {
  Q_OBJECT

 private slots:
  void designSizeToTheTwip();
  void oddAndNarrowAndMaximisedWindows();
  void frameSizesReadBackCarryIntoTheirControls();
  void minimisedMovesNothingAndNegativeSizesBecomeZero();
};

void tst_Layout::designSizeToTheTwip() {
  const Layout layout = ComputeLayout(DesignInput(8610, 3195));
  QVERIFY(layout.laidOut);
  const LayoutResult& r = layout.rects;
  QCOMPARE(Flat(r.fraImageView), QList<float>({0, 0, 4305, 3195}));
  QCOMPARE(Flat(r.chkView), QList<float>({64, 2816, 660, 195}));
  QCOMPARE(Flat(r.cboView), QList<float>({788, 2816, 3453, 315}));
  QCOMPARE(Flat(r.vistaro), QList<float>({64, 192, 4177, 2624}));
  QCOMPARE(Flat(r.fraImageList), QList<float>({4369, 0, 4241, 3195}));
  QCOMPARE(Flat(r.buttons[kButtonRemove]), QList<float>({3322, 2876, 855, 255}));
  QCOMPARE(Flat(r.buttons[kButtonDown]), QList<float>({2939, 2876, 255, 255}));
  QCOMPARE(Flat(r.buttons[kButtonUp]), QList<float>({2620, 2876, 255, 255}));
  QCOMPARE(Flat(r.buttons[kButtonAdd]), QList<float>({1997, 2876, 495, 255}));
  QCOMPARE(Flat(r.buttons[kButtonAddOpen]), QList<float>({1678, 2876, 255, 255}));
  QCOMPARE(Flat(r.txtImageListAdd), QList<float>({64, 2846, 1550, 285}));
  QCOMPARE(Flat(r.lstImageList), QList<float>({64, 192, 4113, 2654}));
}

void tst_Layout::oddAndNarrowAndMaximisedWindows() {
  // Half of an odd width is used unrounded.
  const LayoutResult odd = ComputeLayout(DesignInput(8625, 3195)).rects;
  QCOMPARE(odd.fraImageView.width, 4312.5f);
  QCOMPARE(odd.fraImageList.left, 4376.5f);
  QCOMPARE(odd.cboView.width, 3460.5f);
  // The narrowest client width still leaves every control a positive size.
  const LayoutResult narrow = ComputeLayout(DesignInput(7500, 900)).rects;
  QCOMPARE(narrow.txtImageListAdd.width, 995.0f);
  QVERIFY(narrow.cboView.width > 0 && narrow.vistaro.height > 0 && narrow.lstImageList.height > 0);
  // Maximised (1920 x 1000 pixels): the buttons stay at the bottom right,
  // the stretching controls take all the extra room.
  const LayoutResult big = ComputeLayout(DesignInput(28800, 15000)).rects;
  QCOMPARE(big.fraImageList.left + big.fraImageList.width, 28800.0f);
  QCOMPARE(Flat(big.buttons[kButtonRemove]),
           QList<float>({14336 - 64 - 855, 15000 - 64 - 255, 855, 255}));
  QCOMPARE(big.txtImageListAdd.width - narrow.txtImageListAdd.width,
           big.fraImageList.width - narrow.fraImageList.width);
  QCOMPARE(big.vistaro.height, 15000.0f - 64 - 315 - 192);
  QCOMPARE(big.lstImageList.height, 15000.0f - 64 - 285 - 192);
}

void tst_Layout::frameSizesReadBackCarryIntoTheirControls() {
  LayoutInput in = DesignInput(8625, 3195);
  in.imageViewFrame = {4320, 3195};  // 4312.5 requested, 288 whole pixels reported
  in.imageListFrame = {4245, 3195};
  const LayoutResult r = ComputeLayout(in).rects;
  QCOMPARE(r.vistaro.width, 4320.0f - 128);
  QCOMPARE(r.buttons[kButtonRemove].left, 4245.0f - 64 - 855);
  QCOMPARE(r.lstImageList.width, 4245.0f - 128);
}

// Large system fonts can make controls larger than the room left for them;
// a negative size must not reach the window system.
void tst_Layout::minimisedMovesNothingAndNegativeSizesBecomeZero() {
  LayoutInput in = DesignInput(8610, 3195);
  in.minimised = true;
  QVERIFY(!ComputeLayout(in).laidOut);
  in = DesignInput(7500, 300);
  in.cboViewHeight = 600;
  in.txtImageListAddHeight = 600;
  in.buttons[kButtonRemove] = {4000, 255};
  const LayoutResult r = ComputeLayout(in).rects;
  QCOMPARE(r.vistaro.height, 0.0f);
  QCOMPARE(r.lstImageList.height, 0.0f);
  QCOMPARE(r.txtImageListAdd.width, 0.0f);
  QVERIFY(r.vistaro.width > 0);
}

QTEST_APPLESS_MAIN(tst_Layout)
#include "tst_layout.moc"
