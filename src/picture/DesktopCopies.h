#pragma once

#include <QString>

// What a desktop that reads the wallpaper file itself is handed. Such
// desktops read files with loaders of their own (gdk-pixbuf, Qt 5, ...), and
// the only formats every one of them reads are PNG and JPEG; none turns a
// photo upright as all of them should. So a PNG or JPEG that needs no turning
// is handed over as it is, once it has shown that it decodes; any other
// picture as a copy made here: decoded, turned upright, written as PNG when
// its source is lossless and as JPEG of high quality when it is lossy (JPEG,
// lossy WebP, HEIF, AVIF, JPEG XL), under a name no earlier copy had, so
// that a desktop that caches pictures by name shows the new one.
class DesktopCopy {
 public:
  // Raises the picture's numbered error (53 or 481, picture/PictureDecode.h)
  // when it cannot be shown, and 75 "Path/File access error" when the copy
  // cannot be written into the folder, which is created when missing.
  DesktopCopy(const QString& file, const QString& folder);
  // Removes the copy unless Keep() was called.
  ~DesktopCopy();
  DesktopCopy(const DesktopCopy&) = delete;
  DesktopCopy& operator=(const DesktopCopy&) = delete;

  // The file to hand to the desktop.
  const QString& Path() const { return path_; }
  // The desktop took it: the folder keeps this copy and the one the desktop
  // showed before, and no other.
  void Keep();

 private:
  QString folder_;
  QString path_;
  bool copied_ = false;
  bool kept_ = false;
};
