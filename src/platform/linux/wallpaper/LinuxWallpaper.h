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

// Ends a route that could not set the wallpaper: traces the cause and raises
// "Unexpected internal error" with it as the error's cause line.
[[noreturn]] void RefuseWallpaper(const QString& cause);
// The causes of the two refusals every desktop route can meet: the desktop
// was asked and did not take the file, or it could not be asked at all.
QString DesktopRefused(const QString& desktop, const QString& file, const QString& reason);
QString DesktopUnreachable(const QString& desktop, const QString& reason);

// The folder of the copies made for desktops that read the file themselves:
// $XDG_DATA_HOME/ZVistaro02 (~/.local/share/ZVistaro02), which outlives
// logouts and the cleaning of caches.
QString DesktopCopyFolder();

// The wallpaper back-end for this session: ZVISTARO_WALLPAPER_COMMAND when
// set, otherwise the desktop's own, otherwise plain X11 when there is an X
// display; nothing applies: every Set() is refused. Whatever the route, a
// file that does not decode is refused before the route sees it: the
// command gets the user's file, X11 decodes it itself, and the desktops that
// read the file themselves get a file they can read (picture/DesktopCopies.h).
std::unique_ptr<WallpaperSetter> CreateLinuxWallpaper();
