#pragma once

#include <QString>

// Where the picture goes in the display box for a view mode: a pure
// computation on the picture's natural size (HIMETRIC, hundredths of a
// millimetre), the box's outer size (twips) and the display resolution.

// The text shown for the view modes that have no drawing yet.
inline const QString kNotSupportedText = QStringLiteral("Currently not supported");

// One draw: the destination in pixels of the box's drawing area (origin at
// its top-left corner, y downwards; it may lie partly outside and is then
// clipped) and the source in HIMETRIC of the picture (origin at its
// bottom-left corner, y upwards: ySrc is the top row, cySrc is negative).
struct PlacementDraw {
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  int xSrc = 0;
  int ySrc = 0;
  int cxSrc = 0;
  int cySrc = 0;
  bool operator==(const PlacementDraw&) const = default;
};

struct Placement {
  enum class Kind { Nothing, Text, Draw };
  Kind kind = Kind::Nothing;
  PlacementDraw draw;  // for Kind::Draw
};

// The view modes, as the entries of the window's list of them; any other
// value (-1 for none) gives nothing.
inline constexpr int kViewOriginal = 0;
inline constexpr int kViewCentered = 1;
inline constexpr int kViewStretched = 2;
inline constexpr int kViewProportional = 3;
inline constexpr int kViewRepeated = 4;
inline constexpr int kViewRepeatedProportional = 5;

// Window sizes are in twips, 1440 to the inch.
inline constexpr double kTwipsPerInch = 1440.0;

Placement ComputePlacement(int viewMode, int pictureWidth, int pictureHeight, float boxWidth,
                           float boxHeight, double dpiX, double dpiY);

// Rounds to the nearest integer, halves to the even neighbour; NaN gives 0
// and values beyond the int range are clamped to it.
int RoundHalfEven(double value);
