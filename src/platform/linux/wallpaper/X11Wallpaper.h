#pragma once

#include <QString>

#include "platform/Platform.h"

// Sets the wallpaper of a plain X11 session: the picture, scaled to cover the
// screen, becomes the root window's background pixmap and is announced in
// _XROOTPMAP_ID and ESETROOT_PMAP_ID for terminals and panels that show it.
// The pixmap outlives the program (RetainPermanent); the one retained by the
// previous setter is freed, as Esetroot does.
class X11Wallpaper : public WallpaperSetter {
 public:
  void Set(const QString& file) override;
};
