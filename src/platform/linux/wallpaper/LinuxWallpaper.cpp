#include "platform/linux/wallpaper/LinuxWallpaper.h"

#include <QDir>

#include "errors/Errors.h"
#include "kit/KitGlobal.h"
#include "picture/DesktopCopies.h"
#include "picture/PictureDecode.h"
#include "platform/linux/wallpaper/CommandWallpaper.h"
#include "platform/linux/wallpaper/GSettingsWallpaper.h"
#include "platform/linux/wallpaper/LxqtWallpaper.h"
#include "platform/linux/wallpaper/PlasmaWallpaper.h"
#include "platform/linux/wallpaper/SwayWallpaper.h"
#include "platform/linux/wallpaper/X11Wallpaper.h"
#include "platform/linux/wallpaper/XfceWallpaper.h"

namespace {

constexpr char kNoDesktop[] =
    "no desktop to set the wallpaper on (XDG_CURRENT_DESKTOP is %1, DISPLAY is %2); set "
    "ZVISTARO_WALLPAPER_COMMAND";
constexpr char kDesktopRefused[] = "the desktop (%1) did not take \"%2\" as its wallpaper: %3";
constexpr char kDesktopUnreachable[] =
    "the desktop (%1) cannot be reached: %2; is it running in this session? Otherwise set "
    "ZVISTARO_WALLPAPER_COMMAND";
constexpr char kMadeFor[] = " (the copy made of \"%1\" for it)";
const QString kCopyFolder = QStringLiteral("/ZVistaro02");

QString Described(const char* variable) {
  return qEnvironmentVariableIsSet(variable)
             ? QLatin1Char('"') + qEnvironmentVariable(variable) + QLatin1Char('"')
             : QStringLiteral("unset");
}

// Refuses every file: no back-end applies to this session.
class NoWallpaper : public WallpaperSetter {
 public:
  void Set(const QString& /*file*/) override {
    RefuseWallpaper(QString::fromLatin1(kNoDesktop)
                        .arg(Described("XDG_CURRENT_DESKTOP"), Described("DISPLAY")));
  }
};

// How a route takes the picture, as far as checking and preparing it goes.
enum class Handover {
  kUserFile,     // the file itself, once it has shown that it decodes
  kDecodedHere,  // the route decodes it itself, and so checks it
  kReadableCopy  // a file every desktop reads (picture/DesktopCopies.h)
};

// Checks and prepares the picture once, for whichever route the session
// takes, before the route sees it: no desktop reports a broken file.
class CheckedPicture : public WallpaperSetter {
 public:
  CheckedPicture(std::unique_ptr<WallpaperSetter> route, Handover handover)
      : route_(std::move(route)), handover_(handover) {}
  void Set(const QString& file) override {
    switch (handover_) {
      case Handover::kUserFile:
        CheckDecodes(file);
        route_->Set(file);
        return;
      case Handover::kDecodedHere:
        route_->Set(file);
        return;
      case Handover::kReadableCopy:
        break;
    }
    DesktopCopy copy(file, DesktopCopyFolder());
    try {
      route_->Set(copy.Path());
    } catch (const ProgramError& error) {
      if (copy.Path() == file) throw;
      throw error.WithCause(error.Cause() + QString::fromLatin1(kMadeFor).arg(file));
    }
    copy.Keep();
  }

 private:
  std::unique_ptr<WallpaperSetter> route_;
  Handover handover_;
};

// The route of a desktop that reads the file itself.
std::unique_ptr<WallpaperSetter> ReadingDesktop(Desktop desktop) {
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
          QStringLiteral("LXDE's pcmanfm"), CommandWallpaper::FileName::kAbsolute);
    case Desktop::kSway:
      return std::make_unique<SwayWallpaper>();
    case Desktop::kNone:
      break;
  }
  return nullptr;
}

// The route for this session, as CreateLinuxWallpaper describes it.
std::unique_ptr<WallpaperSetter> ChooseRoute() {
  const QString command = qEnvironmentVariable("ZVISTARO_WALLPAPER_COMMAND");
  if (!command.isEmpty()) {
    return std::make_unique<CheckedPicture>(
        std::make_unique<CommandWallpaper>(
            command, QStringLiteral("the wallpaper command \"%1\"").arg(command)),
        Handover::kUserFile);
  }
  const Desktop desktop = DetectDesktop(qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                                        !qEnvironmentVariableIsEmpty("SWAYSOCK"));
  if (auto route = ReadingDesktop(desktop)) {
    return std::make_unique<CheckedPicture>(std::move(route), Handover::kReadableCopy);
  }
  if (qEnvironmentVariableIsEmpty("DISPLAY")) return std::make_unique<NoWallpaper>();
  return std::make_unique<CheckedPicture>(std::make_unique<X11Wallpaper>(), Handover::kDecodedHere);
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

void RefuseWallpaper(const QString& cause) {
  KitGlobal().Trace(QStringLiteral("wallpaper refused: ") + cause, 0);
  modMain::RaiseError(modMain::kErrUnexpectedInternal, std::nullopt, cause);
}

QString DesktopRefused(const QString& desktop, const QString& file, const QString& reason) {
  return QString::fromLatin1(kDesktopRefused).arg(desktop, file, reason);
}

QString DesktopUnreachable(const QString& desktop, const QString& reason) {
  return QString::fromLatin1(kDesktopUnreachable).arg(desktop, reason);
}

QString DesktopCopyFolder() {
  // The XDG rules ignore a relative value.
  const QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (QDir::isAbsolutePath(data)) return data + kCopyFolder;
  return QDir::homePath() + QStringLiteral("/.local/share") + kCopyFolder;
}

std::unique_ptr<WallpaperSetter> CreateLinuxWallpaper() { return ChooseRoute(); }
