#pragma once

#include <QString>

#include "platform/Platform.h"

// Sets the wallpaper of LXQt through its desktop, PCManFM-Qt, on the session
// bus, stretched to fill the screen. The call answers nothing, so a
// missing or failing service is the only refusal it can show.
class LxqtWallpaper : public WallpaperSetter {
 public:
  void Set(const QString& file) override;
};
