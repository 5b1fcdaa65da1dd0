#include "window/Layout.h"

#include <algorithm>

namespace {

constexpr float kMargin = 64;       // inner margin and small gap
constexpr float kWideGap = 128;     // gap between button groups
constexpr float kCaptionTop = 192;  // top offset below a frame's caption

TwipRect Rect(float left, float top, float width, float height) {
  return {left, top, std::max(width, 0.0f), std::max(height, 0.0f)};
}

// The combo box and check box share one top at the bottom of the view
// frame; the display box fills the space above them.
void LayOutImageView(const LayoutInput& in, LayoutResult& out) {
  const float ivW = in.imageViewFrame.width - kMargin;
  const float ivH = in.imageViewFrame.height - kMargin;
  const float rowTop = ivH - in.cboViewHeight;
  out.chkView = Rect(kMargin, rowTop, in.chkView.width, in.chkView.height);
  const float chkRight = out.chkView.left + in.chkView.width;
  out.cboView = Rect(chkRight + kMargin, rowTop, ivW - chkRight - kMargin, in.cboViewHeight);
  out.vistaro = Rect(kMargin, kCaptionTop, ivW - kMargin, rowTop - kCaptionTop);
}

// The button row runs right to left from the frame's inner edge, each
// button placed from its right-hand neighbour; the text box takes what is
// left of the row and the list box the space above it.
void LayOutImageList(const LayoutInput& in, LayoutResult& out) {
  const float ilW = in.imageListFrame.width - kMargin;
  const float ilH = in.imageListFrame.height - kMargin;
  const float gapBefore[kButtonCount] = {0, kWideGap, kMargin, kWideGap, kMargin};
  float right = ilW;
  for (int b = 0; b < kButtonCount; ++b) {
    const TwipSize size = in.buttons[b];
    const float left = right - gapBefore[b] - size.width;
    out.buttons[b] = Rect(left, ilH - size.height, size.width, size.height);
    right = left;
  }
  const float txtTop = ilH - in.txtImageListAddHeight;
  out.txtImageListAdd =
      Rect(kMargin, txtTop, out.buttons[kButtonAddOpen].left - kWideGap, in.txtImageListAddHeight);
  out.lstImageList = Rect(kMargin, kCaptionTop, ilW - kMargin, txtTop - kCaptionTop);
}

}  // namespace

FrameRects ComputeFrames(float clientWidth, float clientHeight) {
  const float half = clientWidth / 2;
  return {Rect(0, 0, half, clientHeight), Rect(half + kMargin, 0, half - kMargin, clientHeight)};
}

Layout ComputeLayout(const LayoutInput& input) {
  Layout layout;
  if (input.minimised) return layout;
  const FrameRects frames = ComputeFrames(input.clientWidth, input.clientHeight);
  layout.rects.fraImageView = frames.imageView;
  layout.rects.fraImageList = frames.imageList;
  LayOutImageView(input, layout.rects);
  LayOutImageList(input, layout.rects);
  layout.laidOut = true;
  return layout;
}
