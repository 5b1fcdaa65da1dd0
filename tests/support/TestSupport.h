#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

#include "kit/ProgramError.h"
#include "platform/Platform.h"

// Creates a file with the given content in the folder and returns its path.
QString MakeFile(const QString& folder, const QString& name, const QByteArray& content = "x");

// Records the trace lines written while it lives, instead of the default
// trace output.
class TraceRecorder {
 public:
  TraceRecorder();
  ~TraceRecorder();
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;
  const QStringList& Lines() const { return lines_; }

 private:
  QStringList lines_;
};

// Recording fakes of the platform interfaces.
class FakeSettings : public SettingsStore {
 public:
  QString Read(const QString& application, const QString& section, const QString& key) override {
    return values.value(application + '/' + section + '/' + key);
  }
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override {
    values.insert(application + '/' + section + '/' + key, value);
  }
  // "application/section/key" -> value
  QMap<QString, QString> values;
};

class FakeLogonEntry : public LogonEntry {
 public:
  QString Write(const QString& arguments) override { return written = arguments; }
  void Remove() override { written.clear(); }
  QString written;  // the arguments of the entry, empty for none
};

class FakeWallpaper : public WallpaperSetter {
 public:
  void Set(const QString& file) override {
    setFiles.append(file);
    if (refusedFiles.contains(file)) {
      throw ProgramError(static_cast<qint32>(0x80042000u), "ZVistaro02",
                         "Unexpected internal error", "the desktop refused " + file);
    }
  }
  QStringList setFiles;      // every file handed over, accepted or not
  QStringList refusedFiles;  // files to refuse
};

class FakeMessages : public MessageBoxes {
 public:
  void Show(const QString& prompt, int style, const QString& caption) override {
    shown.append({prompt, style, caption});
  }
  struct Shown {
    QString prompt;
    int style;
    QString caption;
  };
  QList<Shown> shown;
};

class FakeProcess : public ProcessInfo {
 public:
  QString CommandLineText() override { return commandLine; }
  QString ExecutableName() override { return QStringLiteral("ZVistaro02"); }
  bool HasInteractiveDisplay() override { return false; }
  void Trace(const QString&) override {}
  QString commandLine;
};

// A platform of fakes, installed while it lives; the previous platform comes
// back afterwards. The pattern listing is the real one of this machine.
class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  FakeSettings* settings;
  FakeWallpaper* wallpaper;
  FakeMessages* messages;
  FakeProcess* process;

 private:
  std::unique_ptr<Platform> previous_;
};

// The number of the error the call raised, 0 when it raised none.
template <typename Call>
qint32 ErrorOf(Call call) {
  try {
    call();
  } catch (const ProgramError& error) {
    return error.Number();
  }
  return 0;
}
