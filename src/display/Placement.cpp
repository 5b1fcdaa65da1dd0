#include "display/Placement.h"

#include <cmath>
#include <limits>

#include "kit/KitGlobal.h"

namespace {

constexpr double kHimetricPerInch = 2540.0;

// The box's unit conversions; every result is single precision.
float HimetricToPixels(int value, double dpi) {
  return static_cast<float>(value * dpi / kHimetricPerInch);
}
float TwipsToPixels(float value, double dpi) {
  return static_cast<float>(value * dpi / kTwipsPerInch);
}
float PixelsToHimetric(double value, double dpi) {
  return static_cast<float>(value * kHimetricPerInch / dpi);
}

float MinOf(float a, float b) { return static_cast<float>(KitGlobal().Min({a, b})); }

struct Sizes {
  float pw, ph, bw, bh;
};

// The whole picture, from its top row downwards.
void WholeSource(PlacementDraw& d, int pictureWidth, int pictureHeight) {
  d.xSrc = 0;
  d.ySrc = pictureHeight - 1;
  d.cxSrc = pictureWidth;
  d.cySrc = -pictureHeight;
}

PlacementDraw Original(const Sizes& s, int pictureHeight, double dpiX, double dpiY) {
  const float w = MinOf(s.bw, s.pw);
  const float h = MinOf(s.bh, s.ph);
  PlacementDraw d;
  d.cx = RoundHalfEven(w);
  d.cy = RoundHalfEven(h);
  d.ySrc = pictureHeight - 1;
  d.cxSrc = RoundHalfEven(PixelsToHimetric(w, dpiX));
  d.cySrc = -RoundHalfEven(PixelsToHimetric(h, dpiY));
  return d;
}

PlacementDraw Centered(const Sizes& s) {
  PlacementDraw d;
  d.x = RoundHalfEven((double{s.bw} - s.pw) / 2.0);
  d.y = RoundHalfEven((double{s.bh} - s.ph) / 2.0);
  d.cx = RoundHalfEven(s.pw);
  d.cy = RoundHalfEven(s.ph);
  return d;
}

PlacementDraw Stretched(const Sizes& s) {
  PlacementDraw d;
  d.cx = RoundHalfEven(s.bw);
  d.cy = RoundHalfEven(s.bh);
  return d;
}

// One factor for both sides, the smaller of the two ratios, so the picture
// fits; the other side is centred. A zero-size picture gives an infinite or
// undefined factor, which rounds to an empty destination.
PlacementDraw ProportionallyStretched(const Sizes& s) {
  const float rx = static_cast<float>(double{s.bw} / s.pw);
  const float ry = static_cast<float>(double{s.bh} / s.ph);
  const double factor = MinOf(rx, ry);
  PlacementDraw d;
  d.x = RoundHalfEven((s.bw - factor * s.pw) / 2.0);
  d.y = RoundHalfEven((s.bh - factor * s.ph) / 2.0);
  d.cx = RoundHalfEven(factor * s.pw);
  d.cy = RoundHalfEven(factor * s.ph);
  return d;
}

}  // namespace

int RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kMax = std::numeric_limits<int>::max();
  constexpr double kMin = std::numeric_limits<int>::min();
  if (value >= kMax) return std::numeric_limits<int>::max();
  if (value <= kMin) return std::numeric_limits<int>::min();
  const double floor = std::floor(value);
  const double fraction = value - floor;
  double rounded = fraction < 0.5 ? floor : floor + 1;
  if (fraction == 0.5 && std::fmod(floor, 2.0) == 0) rounded = floor;
  return static_cast<int>(rounded);
}

Placement ComputePlacement(int viewMode, int pictureWidth, int pictureHeight, float boxWidth,
                           float boxHeight, double dpiX, double dpiY) {
  Placement placement;
  if (viewMode == kViewRepeated || viewMode == kViewRepeatedProportional) {
    placement.kind = Placement::Kind::Text;
    return placement;
  }
  if (viewMode < kViewOriginal || viewMode > kViewRepeatedProportional) return placement;
  const Sizes s = {HimetricToPixels(pictureWidth, dpiX), HimetricToPixels(pictureHeight, dpiY),
                   TwipsToPixels(boxWidth, dpiX), TwipsToPixels(boxHeight, dpiY)};
  switch (viewMode) {
    case kViewOriginal:
      placement.draw = Original(s, pictureHeight, dpiX, dpiY);
      break;
    case kViewCentered:
      placement.draw = Centered(s);
      break;
    case kViewStretched:
      placement.draw = Stretched(s);
      break;
    default:
      placement.draw = ProportionallyStretched(s);
      break;
  }
  if (viewMode != kViewOriginal) WholeSource(placement.draw, pictureWidth, pictureHeight);
  placement.kind = Placement::Kind::Draw;
  return placement;
}
