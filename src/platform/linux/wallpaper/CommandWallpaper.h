#pragma once

#include <QString>

#include "platform/Platform.h"

// Sets the wallpaper by running a program: the command text is split at
// blanks into a program and its arguments, the file name is appended as one
// more argument, and an exit status of 0 means accepted. name says which
// command it is in a refusal's cause ("the wallpaper command \"...\"").
class CommandWallpaper : public WallpaperSetter {
 public:
  enum class FileName {
    kAsGiven,
    kAbsolute,  // for programs that hand the name to a process of their own
  };
  CommandWallpaper(QString command, QString name, FileName fileName = FileName::kAsGiven);
  void Set(const QString& file) override;

 private:
  QString command_;
  QString name_;
  FileName fileName_;
};
