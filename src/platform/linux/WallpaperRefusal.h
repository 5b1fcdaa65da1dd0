#pragma once

#include <QString>

#include <memory>

#include "platform/Platform.h"

// Wraps the session's wallpaper back-end so that a refusal can say why in
// the error report: a missing file, a file that is no picture this
// installation reads, no desktop at all, or the desktop's own refusal.
std::unique_ptr<WallpaperSetter> ExplainRefusals(std::unique_ptr<WallpaperSetter> wallpaper);

// The cause of a refusal of the file, from the file and the environment
// (ZVISTARO_WALLPAPER_COMMAND, XDG_CURRENT_DESKTOP, SWAYSOCK, DISPLAY).
QString WallpaperRefusalCause(const QString& file);
