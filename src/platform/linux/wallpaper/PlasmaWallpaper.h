#pragma once

#include <QString>

#include "platform/Platform.h"

// The Plasma desktop script that shows the picture at the absolute path on
// every desktop whose wallpaper is a picture, and fails (so that Plasma
// answers with an error) when there is no such desktop. The path enters the
// script as a JSON string literal and becomes an encoded file URL there.
QString PlasmaScript(const QString& absolutePath);

// Sets the wallpaper of Plasma 5 and 6 through the shell's scripting call on
// the session bus. An error answer (no shell, widgets locked, scripting
// forbidden by policy, a failing script) is a refusal.
class PlasmaWallpaper : public WallpaperSetter {
 public:
  void Set(const QString& file) override;
};
