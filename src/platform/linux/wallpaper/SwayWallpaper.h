#pragma once

#include <QByteArray>
#include <QString>

#include "platform/Platform.h"

// The sway command that shows the picture at the absolute path on every
// output, scaled to cover it; the path is quoted so that blanks, quotes,
// backslashes, "$", ";" and "," stay part of it.
QByteArray SwayBackgroundCommand(const QString& absolutePath);

// Sets the wallpaper of sway through its IPC socket (SWAYSOCK). A reply that
// does not report success for the command is a refusal.
class SwayWallpaper : public WallpaperSetter {
 public:
  bool Set(const QString& file) override;
};
