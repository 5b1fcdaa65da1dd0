#include <QTest>

#include <algorithm>
#include <iterator>

#include "window/Layout.h"

// The layout at ordinary sizes is checked through the window itself; this
// is the case no window at the default font reaches.
class tst_Layout : public QObject {
  Q_OBJECT

 private slots:
  void sizesBelowZeroBecomeZero();
};

// Large system fonts can make controls larger than the room left for them;
// a size below zero must not reach the window system.
void tst_Layout::sizesBelowZeroBecomeZero() {
  const FrameRects frames = ComputeFrames(7500, 300);
  LayoutInput in;
  in.clientWidth = 7500;
  in.clientHeight = 300;
  in.imageViewFrame = {frames.imageView.width, 300};
  in.imageListFrame = {frames.imageList.width, 300};
  in.chkView = {660, 195};
  in.cboViewHeight = 600;
  in.txtImageListAddHeight = 600;
  const TwipSize buttons[] = {{4000, 255}, {255, 255}, {255, 255}, {495, 255}, {255, 255}};
  std::copy(std::begin(buttons), std::end(buttons), in.buttons);
  const Layout layout = ComputeLayout(in);
  QVERIFY(layout.laidOut);
  QList<float> actual;
  const LayoutResult& r = layout.rects;
  // The frames, the view frame's controls, the list frame's controls, and the
  // buttons from right to left: left, top, width and height of each.
  for (const TwipRect& t :
       {r.fraImageView, r.fraImageList, r.chkView, r.cboView, r.vistaro, r.txtImageListAdd,
        r.lstImageList, r.buttons[0], r.buttons[1], r.buttons[2], r.buttons[3], r.buttons[4]}) {
    actual << t.left << t.top << t.width << t.height;
  }
  QCOMPARE(actual,
           (QList<float>{0,     0,    3750, 300, 3814,  0,   3686, 300, 64,    -364, 660, 195,
                         788,   -364, 2898, 600, 64,    192, 3622, 0,   64,    -364, 0,   600,
                         64,    192,  3558, 0,   -378,  -19, 4000, 255, -761,  -19,  255, 255,
                         -1080, -19,  255,  255, -1703, -19, 495,  255, -2022, -19,  255, 255}));
}

QTEST_APPLESS_MAIN(tst_Layout)
#include "tst_layout.moc"
