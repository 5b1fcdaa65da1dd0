#pragma once

#include <QString>

#include "platform/Platform.h"

// Sets the wallpaper by running a program of the user's choice: the command
// text is split at blanks into a program and its arguments, the file name is
// appended as one more argument, and an exit status of 0 means accepted.
class CommandWallpaper : public WallpaperSetter {
 public:
  explicit CommandWallpaper(QString command);
  bool Set(const QString& file) override;

 private:
  QString command_;
};
