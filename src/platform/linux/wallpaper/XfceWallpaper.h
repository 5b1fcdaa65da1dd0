#pragma once

#include <QString>
#include <QStringList>

#include "platform/Platform.h"

// The names of the X display's connected outputs that show something
// ("eDP-1", "HDMI-1", ...), from RandR; empty without a display.
QStringList ConnectedOutputNames();

// Sets the wallpaper of XFCE through xfconf on the session bus: every
// "last-image" of channel xfce4-desktop that exists gets the file; when none
// exists yet, one is made for workspace 0 of every connected output. A
// locked property, a D-Bus error or a value that does not read back is a
// refusal.
class XfceWallpaper : public WallpaperSetter {
 public:
  void Set(const QString& file) override;
};
