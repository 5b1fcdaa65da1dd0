#include "platform/windows/WindowsServices.h"

#include <QSettings>

#include "errors/Errors.h"
#include "kit/KitGlobal.h"
#include "platform/windows/win32/FileListing.h"
#include "platform/windows/win32/Process.h"
#include "platform/windows/win32/Registry.h"
#include "platform/windows/win32/Wallpaper.h"
#include "platform/windows/win32/Win32Error.h"

namespace {

// The Win32 code travels as its HRESULT, the number Windows programs report
// for it, with the system's text as the description.
[[noreturn]] void RaiseWin32Error(const win32::Win32Error& error) {
  throw ProgramError(error.HResult(), QLatin1String(modMain::kProjectName),
                     QString::fromStdWString(error.Message()));
}

const QString kRunValuePath =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\") +
    QLatin1String(LogonEntry::kName);

// One argument of a command line, in double quotes (a quote doubled) when it
// holds a blank or a quote, so that splitting the line gives it back whole.
QString CommandLineArgument(const QString& argument) {
  if (!argument.contains(QLatin1Char(' ')) && !argument.contains(QLatin1Char('"'))) {
    return argument;
  }
  QString quoted = argument;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString SettingsLocation(const QString& application) {
  return QStringLiteral("HKEY_CURRENT_USER\\Software\\") + application;
}

}  // namespace

QString WindowsSettings::Read(const QString& application, const QString& section,
                              const QString& key) {
  const QSettings settings(SettingsLocation(application), QSettings::NativeFormat);
  return settings.value(section + QLatin1Char('/') + key).toString();
}

void WindowsSettings::Write(const QString& application, const QString& section, const QString& key,
                            const QString& value) {
  QSettings settings(SettingsLocation(application), QSettings::NativeFormat);
  settings.setValue(section + QLatin1Char('/') + key, value);
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    throw ProgramError(kErrPathFileAccess, QLatin1String(modMain::kProjectName),
                       QStringLiteral("Path/File access error: cannot store %1 in %2\\%3")
                           .arg(key, SettingsLocation(application), section));
  }
}

WindowsLogonEntry::WindowsLogonEntry(ProcessInfo& process) : process_(process) {}

QString WindowsLogonEntry::Write(const QString& arguments) {
  const QString name = process_.ExecutableName();
  const QString path = process_.ExecutablePath();
  const QString program = path.isEmpty() || PathFindsProgram(name, path) ? name : path;
  const QString data = CommandLineArgument(program) + QLatin1Char(' ') + arguments;
  try {
    win32::WriteRegistryString(kRunValuePath.toStdWString(), data.toStdWString());
  } catch (const win32::Win32Error& error) {
    RaiseWin32Error(error);
  }
  return kRunValuePath + QLatin1Char('\\') + data;
}

void WindowsLogonEntry::Remove() {
  try {
    win32::DeleteRegistryValue(kRunValuePath.toStdWString());
  } catch (const win32::Win32Error& error) {
    RaiseWin32Error(error);
  }
}

void WindowsWallpaper::Set(const QString& file) {
  try {
    win32::SetDesktopWallpaper(file.toStdWString());
  } catch (const win32::Win32Error& error) {
    const QString cause =
        QStringLiteral("Windows did not take \"%1\" as the desktop wallpaper (%2)")
            .arg(file, QString::fromStdWString(error.Message()));
    KitGlobal().Trace(QStringLiteral("wallpaper refused: ") + cause, 0);
    modMain::RaiseError(modMain::kErrUnexpectedInternal, std::nullopt, cause);
  }
}

QStringList WindowsPatternListing::Matches(const QString& pattern) {
  QStringList names;
  for (const std::wstring& name : win32::ListPlainFiles(pattern.toStdWString())) {
    names.append(QString::fromStdWString(name));
  }
  return names;
}

QString WindowsProcessInfo::CommandLineText() {
  return QString::fromStdWString(win32::CommandLineArgumentsText());
}

QString WindowsProcessInfo::ExecutableName() {
  try {
    return QString::fromStdWString(win32::ExecutableBaseName());
  } catch (const win32::Win32Error& error) {
    RaiseWin32Error(error);
  }
}

QString WindowsProcessInfo::ExecutablePath() {
  try {
    return QString::fromStdWString(win32::ExecutablePath());
  } catch (const win32::Win32Error&) {
    // The logon entry then names the program by its bare name.
    return {};
  }
}

bool WindowsProcessInfo::HasInteractiveDisplay() {
  // Tests run Qt offscreen; a message box there would wait for nobody.
  const QByteArray qpa = qgetenv("QT_QPA_PLATFORM");
  if (qpa.startsWith("offscreen") || qpa.startsWith("minimal")) return false;
  return win32::HasInteractiveWindowStation();
}

void WindowsProcessInfo::Trace(const QString& line) {
  win32::WriteDebugTrace(line.toStdWString());
  WriteDefaultTrace(line);
}
