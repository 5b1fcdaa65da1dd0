#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include "platform/Platform.h"

// Decodes the picture scaled so that it covers a screen of the given size,
// keeping its proportions, and cut to that size around its centre. A photo
// far larger than the screen is decoded at a fraction of its size (JPEG does
// that directly), so it is never held at full size. A null image when the
// file does not decode.
QImage DecodeToCover(const QString& file, QSize screen);

// Sets the wallpaper of a plain X11 session: the picture, scaled to cover the
// screen, becomes the root window's background pixmap and is announced in
// _XROOTPMAP_ID and ESETROOT_PMAP_ID for terminals and panels that show it.
// The pixmap outlives the program (RetainPermanent); the one retained by the
// previous setter is freed, as Esetroot does.
class X11Wallpaper : public WallpaperSetter {
 public:
  bool Set(const QString& file) override;
};
