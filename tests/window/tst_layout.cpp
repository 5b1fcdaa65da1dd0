#include <QTest>

#include <algorithm>
#include <iterator>

#include "window/Layout.h"

namespace {

// Design sizes of the controls the layout keeps; frames reported as requested.
LayoutInput DesignInput(float width, float height) {
  const FrameRects frames = ComputeFrames(width, height);
  LayoutInput in;
  in.clientWidth = width;
  in.clientHeight = height;
  in.imageViewFrame = {frames.imageView.width, height};
  in.imageListFrame = {frames.imageList.width, height};
  in.chkView = {660, 195};
  in.cboViewHeight = 315;
  in.txtImageListAddHeight = 285;
  const TwipSize buttons[] = {{855, 255}, {255, 255}, {255, 255}, {495, 255}, {255, 255}};
  std::copy(std::begin(buttons), std::end(buttons), in.buttons);
  return in;
}

}  // namespace

Q_DECLARE_METATYPE(LayoutInput)

class tst_Layout : public QObject {
  Q_OBJECT

 private slots:
  void rectangles_data();
  void rectangles();
};

// Expected: left, top, width and height of the frames, the view frame's
// controls, the list frame's controls, and the buttons from right to left.
void tst_Layout::rectangles_data() {
  QTest::addColumn<LayoutInput>("in");
  QTest::addColumn<QList<float>>("expected");
  QTest::newRow("design size") << DesignInput(8610, 3195)
                               << QList<float>{0,    0,    4305, 3195, 4369, 0,    4241, 3195,
                                               64,   2816, 660,  195,  788,  2816, 3453, 315,
                                               64,   192,  4177, 2624, 64,   2846, 1550, 285,
                                               64,   192,  4113, 2654, 3322, 2876, 855,  255,
                                               2939, 2876, 255,  255,  2620, 2876, 255,  255,
                                               1997, 2876, 495,  255,  1678, 2876, 255,  255};
  // Large system fonts can make controls larger than the room left for them;
  // a size below zero must not reach the window system.
  LayoutInput in = DesignInput(7500, 300);
  in.cboViewHeight = 600;
  in.txtImageListAddHeight = 600;
  in.buttons[kButtonRemove] = {4000, 255};
  QTest::newRow("sizes below zero become zero")
      << in << QList<float>{0,     0,    3750, 300, 3814,  0,   3686, 300, 64,    -364, 660, 195,
                            788,   -364, 2898, 600, 64,    192, 3622, 0,   64,    -364, 0,   600,
                            64,    192,  3558, 0,   -378,  -19, 4000, 255, -761,  -19,  255, 255,
                            -1080, -19,  255,  255, -1703, -19, 495,  255, -2022, -19,  255, 255};
}

void tst_Layout::rectangles() {
  QFETCH(LayoutInput, in);
  QFETCH(QList<float>, expected);
  const Layout layout = ComputeLayout(in);
  QVERIFY(layout.laidOut);
  QList<float> actual;
  const LayoutResult& r = layout.rects;
  for (const TwipRect& t :
       {r.fraImageView, r.fraImageList, r.chkView, r.cboView, r.vistaro, r.txtImageListAdd,
        r.lstImageList, r.buttons[0], r.buttons[1], r.buttons[2], r.buttons[3], r.buttons[4]}) {
    actual << t.left << t.top << t.width << t.height;
  }
  QCOMPARE(actual, expected);
}

QTEST_APPLESS_MAIN(tst_Layout)
#include "tst_layout.moc"
