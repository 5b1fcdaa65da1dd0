#include <QTest>

#include "window/Layout.h"

namespace {

// The design sizes of the controls whose size the layout keeps, with the
// frames reported back exactly as requested.
LayoutInput DesignInput(float clientWidth, float clientHeight) {
  LayoutInput in;
  in.clientWidth = clientWidth;
  in.clientHeight = clientHeight;
  const FrameRects frames = ComputeFrames(clientWidth, clientHeight);
  in.imageViewFrame = {frames.imageView.width, frames.imageView.height};
  in.imageListFrame = {frames.imageList.width, frames.imageList.height};
  in.chkView = {660, 195};
  in.cboViewHeight = 315;
  in.txtImageListAddHeight = 285;
  in.buttons[kButtonRemove] = {855, 255};
  in.buttons[kButtonDown] = {255, 255};
  in.buttons[kButtonUp] = {255, 255};
  in.buttons[kButtonAdd] = {495, 255};
  in.buttons[kButtonAddOpen] = {255, 255};
  return in;
}

void CompareRect(const TwipRect& actual, const TwipRect& expected) {
  QCOMPARE(actual.left, expected.left);
  QCOMPARE(actual.top, expected.top);
  QCOMPARE(actual.width, expected.width);
  QCOMPARE(actual.height, expected.height);
}

}  // namespace

class tst_Layout : public QObject {
  Q_OBJECT

 private slots:
  void designSizeToTheTwip();
  void oddClientWidthIsNotRounded();
  void narrowestWindowKeepsEverySizePositive();
  void maximisedWindowGrowsTheStretchingControls();
  void framesReportedInWholePixelsCarryIntoTheirControls();
  void minimisedWindowMovesNothing();
  void tooSmallFramesClampSizesToZero();
};

void tst_Layout::designSizeToTheTwip() {
  const Layout layout = ComputeLayout(DesignInput(8610, 3195));
  QVERIFY(layout.laidOut);
  const LayoutResult& r = layout.rects;
  CompareRect(r.fraImageView, {0, 0, 4305, 3195});
  CompareRect(r.chkView, {64, 2816, 660, 195});
  CompareRect(r.cboView, {788, 2816, 3453, 315});
  CompareRect(r.vistaro, {64, 192, 4177, 2624});
  CompareRect(r.fraImageList, {4369, 0, 4241, 3195});
  CompareRect(r.buttons[kButtonRemove], {3322, 2876, 855, 255});
  CompareRect(r.buttons[kButtonDown], {2939, 2876, 255, 255});
  CompareRect(r.buttons[kButtonUp], {2620, 2876, 255, 255});
  CompareRect(r.buttons[kButtonAdd], {1997, 2876, 495, 255});
  CompareRect(r.buttons[kButtonAddOpen], {1678, 2876, 255, 255});
  CompareRect(r.txtImageListAdd, {64, 2846, 1550, 285});
  CompareRect(r.lstImageList, {64, 192, 4113, 2654});
}

void tst_Layout::oddClientWidthIsNotRounded() {
  const LayoutResult r = ComputeLayout(DesignInput(8625, 3195)).rects;
  QCOMPARE(r.fraImageView.width, 4312.5f);
  QCOMPARE(r.fraImageList.left, 4376.5f);
  QCOMPARE(r.fraImageList.width, 4248.5f);
  QCOMPARE(r.cboView.width, 3460.5f);
  QCOMPARE(r.buttons[kButtonRemove].left, 3329.5f);
}

void tst_Layout::narrowestWindowKeepsEverySizePositive() {
  const LayoutResult r = ComputeLayout(DesignInput(7500, 900)).rects;
  QCOMPARE(r.txtImageListAdd.width, 995.0f);
  QCOMPARE(r.buttons[kButtonAddOpen].left, 1123.0f);
  QVERIFY(r.cboView.width > 0);
  QVERIFY(r.vistaro.width > 0 && r.vistaro.height > 0);
  QVERIFY(r.lstImageList.width > 0 && r.lstImageList.height > 0);
}

void tst_Layout::maximisedWindowGrowsTheStretchingControls() {
  // 1920 x 1000 pixels at 96 dots per inch.
  const LayoutResult r = ComputeLayout(DesignInput(28800, 15000)).rects;
  QCOMPARE(r.fraImageView.width, 14400.0f);
  QCOMPARE(r.fraImageList.width, 14336.0f);
  QCOMPARE(r.fraImageList.left + r.fraImageList.width, 28800.0f);
  // The buttons stay at the bottom right of the list frame.
  QCOMPARE(r.buttons[kButtonRemove].left + 855, 14336.0f - 64);
  QCOMPARE(r.buttons[kButtonRemove].top + 255, 15000.0f - 64);
  QCOMPARE(r.txtImageListAdd.width, r.buttons[kButtonAddOpen].left - 128);
  QCOMPARE(r.cboView.width, 14400.0f - 64 - (64 + 660) - 64);
  QCOMPARE(r.vistaro.height, 15000.0f - 64 - 315 - 192);
  QCOMPARE(r.lstImageList.height, 15000.0f - 64 - 285 - 192);
  // The text box, the combo box, the display box and the list box take all
  // of the extra size; nothing else moves relative to its frame's corner.
  const LayoutResult design = ComputeLayout(DesignInput(8610, 3195)).rects;
  QCOMPARE(r.txtImageListAdd.width - design.txtImageListAdd.width,
           r.fraImageList.width - design.fraImageList.width);
  QCOMPARE(r.chkView.left, design.chkView.left);
}

void tst_Layout::framesReportedInWholePixelsCarryIntoTheirControls() {
  LayoutInput in = DesignInput(8625, 3195);
  in.imageViewFrame = {4320, 3195};  // 4312.5 requested, 288 pixels reported
  in.imageListFrame = {4245, 3195};
  const LayoutResult r = ComputeLayout(in).rects;
  QCOMPARE(r.vistaro.width, 4320.0f - 128);
  QCOMPARE(r.buttons[kButtonRemove].left, 4245.0f - 64 - 855);
  QCOMPARE(r.lstImageList.width, 4245.0f - 128);
}

void tst_Layout::minimisedWindowMovesNothing() {
  LayoutInput in = DesignInput(8610, 3195);
  in.minimised = true;
  QVERIFY(!ComputeLayout(in).laidOut);
}

// Large system fonts make controls taller than the room left for them; a
// negative size would be handed to the window system, so it becomes zero.
void tst_Layout::tooSmallFramesClampSizesToZero() {
  LayoutInput in = DesignInput(7500, 300);
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
