#include "platform/linux/WallpaperRefusal.h"

#include <QImageReader>

#include "kit/KitGlobal.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

constexpr char kMissing[] = "\"%1\" does not exist or is no plain file";
constexpr char kUnreadable[] = "\"%1\" is not a picture this installation can read (%2)";
constexpr char kNoDesktop[] =
    "no desktop to set the wallpaper on (XDG_CURRENT_DESKTOP is \"%1\", DISPLAY is %2); set "
    "ZVISTARO_WALLPAPER_COMMAND";
constexpr char kCommandRefused[] =
    "the wallpaper command \"%1\" did not accept \"%2\" (ZVISTARO_WALLPAPER_COMMAND); "
    "ZVISTARO_TRACE=- shows why";
constexpr char kDesktopRefused[] =
    "the desktop (XDG_CURRENT_DESKTOP is \"%1\") did not take \"%2\" as its wallpaper; "
    "ZVISTARO_TRACE=- shows why";

class ExplainedWallpaper : public WallpaperSetter {
 public:
  explicit ExplainedWallpaper(std::unique_ptr<WallpaperSetter> wallpaper)
      : wallpaper_(std::move(wallpaper)) {}
  bool Set(const QString& file) override { return wallpaper_->Set(file); }
  QString RefusalCause(const QString& file) override { return WallpaperRefusalCause(file); }

 private:
  std::unique_ptr<WallpaperSetter> wallpaper_;
};

QString Described(const char* variable) {
  return qEnvironmentVariableIsSet(variable)
             ? QLatin1Char('"') + qEnvironmentVariable(variable) + QLatin1Char('"')
             : QStringLiteral("unset");
}

}  // namespace

std::unique_ptr<WallpaperSetter> ExplainRefusals(std::unique_ptr<WallpaperSetter> wallpaper) {
  return std::make_unique<ExplainedWallpaper>(std::move(wallpaper));
}

QString WallpaperRefusalCause(const QString& file) {
  if (!KitGlobal().FileExists(file)) return QString::fromLatin1(kMissing).arg(file);
  QImageReader reader(file);
  if (!reader.canRead() || !reader.size().isValid()) {
    return QString::fromLatin1(kUnreadable).arg(file, reader.errorString());
  }
  const QString command = qEnvironmentVariable("ZVISTARO_WALLPAPER_COMMAND");
  if (!command.isEmpty()) return QString::fromLatin1(kCommandRefused).arg(command, file);
  const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
  if (DetectDesktop(desktop, !qEnvironmentVariableIsEmpty("SWAYSOCK")) == Desktop::kNone &&
      qEnvironmentVariableIsEmpty("DISPLAY")) {
    return QString::fromLatin1(kNoDesktop).arg(desktop, Described("DISPLAY"));
  }
  return QString::fromLatin1(kDesktopRefused).arg(desktop, file);
}
