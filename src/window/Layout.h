#pragma once

// The main window's layout as a pure computation in twips (1/1440 inch), so
// that it can be worked out and checked without a window. All arithmetic is
// single precision, as the window system receives it.

struct TwipSize {
  float width = 0;
  float height = 0;
};

struct TwipRect {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

// The five buttons of the list frame, right to left along the bottom row.
enum ListButton { kButtonRemove, kButtonDown, kButtonUp, kButtonAdd, kButtonAddOpen, kButtonCount };

struct LayoutInput {
  bool minimised = false;
  // Client area, after the minimum-size step.
  float clientWidth = 0;
  float clientHeight = 0;
  // The frames' sizes as the window system reports them after they were
  // moved to the rectangles of ComputeFrames.
  TwipSize imageViewFrame;
  TwipSize imageListFrame;
  // Current sizes of the controls whose size the layout keeps.
  TwipSize chkView;
  float cboViewHeight = 0;
  float txtImageListAddHeight = 0;
  TwipSize buttons[kButtonCount];
};

// Every control's rectangle: the frames and the display box in client
// coordinates, the other controls inside their frame.
struct LayoutResult {
  TwipRect fraImageView;
  TwipRect fraImageList;
  TwipRect vistaro;
  TwipRect chkView;
  TwipRect cboView;
  TwipRect txtImageListAdd;
  TwipRect lstImageList;
  TwipRect buttons[kButtonCount];
};

// Smallest outer size of the window (borders and title bar included).
inline constexpr float kMinimumOuterWidth = 7620;
inline constexpr float kMinimumOuterHeight = 1275;

// The two frames for a client area: the left half and the right half less a
// gap. The window moves these first and reads their sizes back.
struct FrameRects {
  TwipRect imageView;
  TwipRect imageList;
};
FrameRects ComputeFrames(float clientWidth, float clientHeight);

// The whole layout, or false in `laidOut` when the window is minimised and
// nothing is to be moved. Sizes below zero (large system fonts) are clamped
// to zero.
struct Layout {
  bool laidOut = false;
  LayoutResult rects;
};
Layout ComputeLayout(const LayoutInput& input);
