#pragma once

#include <QString>

#include "platform/Platform.h"

// Sets the wallpaper by running a program of the user's choice: the command
// text is split at blanks into a program and its arguments, the file name is
// appended as one more argument, and an exit status of 0 means accepted.
class CommandWallpaper : public WallpaperSetter {
 public:
  enum class FileName {
    kAsGiven,
    kAbsolute,  // for programs that hand the name to a process of their own
  };
  explicit CommandWallpaper(QString command, FileName fileName = FileName::kAsGiven);
  bool Set(const QString& file) override;

 private:
  QString command_;
  FileName fileName_;
};
