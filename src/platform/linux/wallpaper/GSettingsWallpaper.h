#pragma once

#include <QString>

#include "platform/Platform.h"

// Where a GSettings desktop keeps its wallpaper.
struct GSettingsTarget {
  const char* schema;   // e.g. "org.gnome.desktop.background"
  const char* key;      // the key that names the picture
  const char* darkKey;  // written as well when the schema has it; may be null
  bool asUri;           // a file URI; otherwise a plain absolute path
};

// The wallpaper keys of GNOME, Unity and Budgie; of Cinnamon; of MATE.
GSettingsTarget GnomeBackground();
GSettingsTarget CinnamonBackground();
GSettingsTarget MateBackground();

// Sets the wallpaper through GIO's GSettings. Refuses, instead of letting GLib
// abort, when the schema or key is missing or not writable, and refuses when
// the settings back-end would not keep the value beyond this process (GLib
// falls back to a memory back-end when dconf is missing).
class GSettingsWallpaper : public WallpaperSetter {
 public:
  explicit GSettingsWallpaper(GSettingsTarget target);
  void Set(const QString& file) override;

 private:
  GSettingsTarget target_;
};
