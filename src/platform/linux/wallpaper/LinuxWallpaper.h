#pragma once

#include <QString>
#include <QStringList>

#include <memory>

#include "platform/Platform.h"

// Which desktop the session runs, as far as the wallpaper is concerned.
enum class Desktop {
  kNone,  // no desktop named, or a plain window manager (i3, openbox, ...)
  kGnome,
  kUnity,
  kBudgie,
  kCinnamon,
  kMate,
  kKde,
  kXfce,
  kLxqt,
  kLxde,
  kSway,
};

// The desktop named by XDG_CURRENT_DESKTOP (lower-cased, split on ":", the
// first recognised name wins), or sway when SWAYSOCK is set.
Desktop DetectDesktop(const QString& xdgCurrentDesktop, bool swaySocketSet);

// Checks that the file exists and reads as a picture. The setter of
// CreateLinuxWallpaper does this once before every route, since no desktop
// reports a broken file. Traces why it refuses.
bool IsUsablePicture(const QString& file);

// Writes one line about a refusal to the trace output.
void TraceRefusal(const QString& reason);

// The wallpaper back-end for this session: ZVISTARO_WALLPAPER_COMMAND when
// set, otherwise the desktop's own, otherwise plain X11 when there is an X
// display; nothing applies: every Set() is refused. Whatever the route, a
// file that is missing or no picture is refused before the route sees it.
std::unique_ptr<WallpaperSetter> CreateLinuxWallpaper();
