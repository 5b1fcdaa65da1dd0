#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <span>

#include "kit/StringList.h"

// The platform behind small interfaces, reached through one Platform object.
// Start-up creates it with CreatePlatform(); tests install their own with
// temporary folders and recording fakes. No code outside src/platform/ asks
// which platform it runs on.

// Per-user text values addressed by application, section and key, and the
// image list. An absent value reads as empty text; a write that cannot be
// stored raises a numbered error and leaves what was stored whole.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual QString Read(const QString& application, const QString& section, const QString& key) = 0;
  virtual void Write(const QString& application, const QString& section, const QString& key,
                     const QString& value) = 0;

  // The image list, addressed like a value. This store keeps it as one, the
  // names joined by ListValueFormat(). ReadList hands visit each stored name
  // in order until visit returns false.
  virtual void ReadList(const QString& application, const QString& section, const QString& key,
                        const std::function<bool(QStringView)>& visit);
  // The same from the first stored name equal to name on (that one first);
  // nothing when no stored name is equal to it.
  virtual void ReadListFrom(const QString& application, const QString& section, const QString& key,
                            const QString& name, const std::function<bool(QStringView)>& visit);
  // Stores the names in their order.
  virtual void WriteList(const QString& application, const QString& section, const QString& key,
                         const StringList& names);

  // Raises what a write would raise for a store that must not or cannot be
  // changed, so that a caller can refuse before doing anything else.
  virtual void CheckWritable(const QString& application) { (void)application; }
  // Keeps other programs' updates out while the object returned lives, so
  // that reading, changing and writing back a value (a rotation) runs once
  // at a time; nothing for a store that needs no lock.
  virtual std::shared_ptr<void> LockUpdates(const QString& application) {
    (void)application;
    return nullptr;
  }
};

// The string list that joins and splits the image list kept as one value:
// each name in double quotes (a quote inside doubled), "; " between them.
StringList ListValueFormat();

// The entry that starts this program with given arguments at every logon of
// the user: a value of the Run key on Windows, an XDG autostart file on
// Linux. Failures raise numbered errors that name the entry in the
// platform's words.
class LogonEntry {
 public:
  // The entry's name: the Run key value's name, the autostart entry's Name.
  static constexpr char kName[] = "Zorvane Vistaro 0.2 Wallpaper Rotation";

  virtual ~LogonEntry() = default;
  // Writes the entry, replacing one that exists, and returns what the user
  // is told: where the entry is and what it runs.
  virtual QString Write(const QString& arguments) = 0;
  // Deletes the entry; an entry that does not exist is an error that says
  // where it was looked for.
  virtual void Remove() = 0;
};

// Sets the desktop wallpaper. Returns once the desktop took the file. A file
// that is no picture the program can show raises 53 "File not found" or 481
// "Invalid picture"; a desktop that cannot be reached or does not take it
// raises "Unexpected internal error". Each error's cause says what failed,
// naming the file, the desktop or the setting, and what to do.
class WallpaperSetter {
 public:
  virtual ~WallpaperSetter() = default;
  virtual void Set(const QString& file) = 0;
};

// Modal message boxes. Style as the classic values: 0 OK only, 64 OK with an
// information icon, 16 OK with a critical icon. Returns when the user closed
// the box.
// The styles a message box is shown with: the buttons plus the icon.
inline constexpr int kStyleOkOnly = 0;
inline constexpr int kStyleCritical = 16;
inline constexpr int kStyleInformation = 64;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void Show(const QString& prompt, int style, const QString& caption) = 0;
};

// The plain files matching a path whose last element may hold "*" and "?".
// Returns the matching names (without their folder) in listing order; no
// match, a missing folder or a malformed pattern give an empty list.
class PatternListing {
 public:
  virtual ~PatternListing() = default;
  virtual QStringList Matches(const QString& pattern) = 0;
};

// What the program asks of its own process and session.
class ProcessInfo {
 public:
  virtual ~ProcessInfo() = default;
  // The argument text the program was started with, without its own path.
  virtual QString CommandLineText() = 0;
  // Base name of the running executable, without folder and extension.
  virtual QString ExecutableName() = 0;
  // Absolute path of the running executable; empty when it cannot be told.
  virtual QString ExecutablePath() { return {}; }
  // Whether windows and message boxes can be shown to a user.
  virtual bool HasInteractiveDisplay() = 0;
  // Where trace lines go (handed to ZKit10 at start-up).
  virtual void Trace(const QString& line) = 0;
};

struct Platform {
  std::unique_ptr<SettingsStore> settings;
  std::unique_ptr<LogonEntry> logon;
  std::unique_ptr<WallpaperSetter> wallpaper;
  std::unique_ptr<MessageBoxes> messages;
  std::unique_ptr<PatternListing> patterns;
  std::unique_ptr<ProcessInfo> process;
};

// Whether a PATH lookup of the executable's name finds this very program
// (path), so that a logon entry may name it by its bare name.
bool PathFindsProgram(const QString& name, const QString& path);

// The platform's folder separator ("/" on Linux, "\" on Windows).
QString FolderSeparator();

// Tells for each name whether it names a regular file or a link to one, as
// KitGlobal().FileExists does, at less cost for many names: names that
// follow each other in one folder may be looked up in that folder, opened
// once. found holds one answer per name.
void FindFiles(std::span<const QString> names, std::span<char> found);

// The real platform of the machine the program runs on.
std::unique_ptr<Platform> CreatePlatform();

// The platform in use; created with CreatePlatform() on first use unless one
// was installed before.
Platform& CurrentPlatform();
// Replaces the platform in use (start-up, tests). Returns the previous one.
std::unique_ptr<Platform> InstallPlatform(std::unique_ptr<Platform> platform);
