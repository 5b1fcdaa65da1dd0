#include "platform/linux/wallpaper/LinuxWallpaper.h"

#include "display/PictureReader.h"
#include "kit/KitGlobal.h"
#include "platform/linux/wallpaper/CommandWallpaper.h"
#include "platform/linux/wallpaper/GSettingsWallpaper.h"
#include "platform/linux/wallpaper/LxqtWallpaper.h"
#include "platform/linux/wallpaper/PlasmaWallpaper.h"
#include "platform/linux/wallpaper/SwayWallpaper.h"
#include "platform/linux/wallpaper/X11Wallpaper.h"
#include "platform/linux/wallpaper/XfceWallpaper.h"

namespace {

// Refuses every file: no back-end applies to this session.
class NoWallpaper : public WallpaperSetter {
 public:
  explicit NoWallpaper(QString reason) : reason_(std::move(reason)) {}
  bool Set(const QString& /*file*/) override {
    TraceRefusal(reason_);
    return false;
  }

 private:
  QString reason_;
};

// Checks the picture once, for whichever route the session takes, before
// the route sees it: no desktop reports a broken file.
class CheckedPicture : public WallpaperSetter {
 public:
  explicit CheckedPicture(std::unique_ptr<WallpaperSetter> route) : route_(std::move(route)) {}
  bool Set(const QString& file) override { return IsUsablePicture(file) && route_->Set(file); }

 private:
  std::unique_ptr<WallpaperSetter> route_;
};

// The route for this session, as CreateLinuxWallpaper describes it.
std::unique_ptr<WallpaperSetter> ChooseRoute() {
  const QString command = qEnvironmentVariable("ZVISTARO_WALLPAPER_COMMAND");
  if (!command.isEmpty()) return std::make_unique<CommandWallpaper>(command);
  const Desktop desktop = DetectDesktop(qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                                        !qEnvironmentVariableIsEmpty("SWAYSOCK"));
  switch (desktop) {
    case Desktop::kGnome:
    case Desktop::kUnity:
    case Desktop::kBudgie:
      return std::make_unique<GSettingsWallpaper>(GnomeBackground());
    case Desktop::kCinnamon:
      return std::make_unique<GSettingsWallpaper>(CinnamonBackground());
    case Desktop::kMate:
      return std::make_unique<GSettingsWallpaper>(MateBackground());
    case Desktop::kKde:
      return std::make_unique<PlasmaWallpaper>();
    case Desktop::kXfce:
      return std::make_unique<XfceWallpaper>();
    case Desktop::kLxqt:
      return std::make_unique<LxqtWallpaper>();
    case Desktop::kLxde:
      // Without a mode pcmanfm fits the picture inside the screen; "crop"
      // covers it, as every other route does.
      return std::make_unique<CommandWallpaper>(
          QStringLiteral("pcmanfm --wallpaper-mode=crop --set-wallpaper"),
          CommandWallpaper::FileName::kAbsolute);
    case Desktop::kSway:
      return std::make_unique<SwayWallpaper>();
    case Desktop::kNone:
      break;
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    return std::make_unique<NoWallpaper>(QStringLiteral("no desktop to set it on"));
  }
  return std::make_unique<X11Wallpaper>();
}

}  // namespace

Desktop DetectDesktop(const QString& xdgCurrentDesktop, bool swaySocketSet) {
  static const QList<std::pair<QString, Desktop>> kNames{
      {QStringLiteral("gnome"), Desktop::kGnome},
      {QStringLiteral("unity"), Desktop::kUnity},
      {QStringLiteral("budgie"), Desktop::kBudgie},
      {QStringLiteral("x-cinnamon"), Desktop::kCinnamon},
      {QStringLiteral("cinnamon"), Desktop::kCinnamon},
      {QStringLiteral("mate"), Desktop::kMate},
      {QStringLiteral("kde"), Desktop::kKde},
      {QStringLiteral("xfce"), Desktop::kXfce},
      {QStringLiteral("lxqt"), Desktop::kLxqt},
      {QStringLiteral("lxde"), Desktop::kLxde},
      {QStringLiteral("sway"), Desktop::kSway},
  };
  for (const QString& part : xdgCurrentDesktop.toLower().split(QLatin1Char(':'))) {
    for (const auto& [name, desktop] : kNames) {
      if (part.trimmed() == name) return desktop;
    }
  }
  return swaySocketSet ? Desktop::kSway : Desktop::kNone;
}

bool IsUsablePicture(const QString& file) {
  if (!KitGlobal().FileExists(file)) {
    TraceRefusal(QStringLiteral("no such file: ") + file);
    return false;
  }
  // The same header checks as before any decode, the cost cap included.
  const PictureReader reader(file);
  if (reader.Check() != PictureReader::Verdict::kReadable) {
    TraceRefusal(QStringLiteral("not a readable picture: ") + file + QStringLiteral(" (") +
                 reader.Reason() + QLatin1Char(')'));
    return false;
  }
  return true;
}

void TraceRefusal(const QString& reason) {
  KitGlobal().Trace(QStringLiteral("wallpaper refused: ") + reason, 0);
}

std::unique_ptr<WallpaperSetter> CreateLinuxWallpaper() {
  return std::make_unique<CheckedPicture>(ChooseRoute());
}
