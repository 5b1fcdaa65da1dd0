#pragma once

#include <QString>

#include "platform/Platform.h"

// The link that sway is shown instead of the picture itself:
// $XDG_RUNTIME_DIR/ZVistaro02/wallpaper. sway expands the path of "output * bg"
// like a shell word (command substitution included), so only a path whose every
// character needs no quoting is ever handed over. Empty when XDG_RUNTIME_DIR is
// unset or holds other characters.
QString SwayLinkPath();

// Sets the wallpaper of sway through its IPC socket (SWAYSOCK): points the
// link at the file, then has every output show the link, scaled to cover it.
// A reply that does not report success, or a file that cannot be opened
// through the link, is a refusal.
class SwayWallpaper : public WallpaperSetter {
 public:
  void Set(const QString& file) override;
};
