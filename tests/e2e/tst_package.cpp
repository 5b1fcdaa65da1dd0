#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "InstalledFiles.h"
#include "kit/StringList.h"

// The Debian package, built from this build folder by cpack, unpacked into a
// scratch root and run from there: its dependencies, its files, and the
// program it installs.
class tst_Package : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void dependsOnThePackagesOfEveryLibraryItLoads();
  void installsTheLauncherIconsAndManualPage();
  void installedProgramRotatesTheWallpaper();
  void installedProgramPrintsTheHelpOnTheConsole();

 private:
  QString Installed(const QString& path) const { return root_.filePath("usr/" + path); }
  bool InScratchRoot(const QString& path) const;
  QTemporaryDir work_;
  QTemporaryDir root_;
  QString package_;
};

namespace {

constexpr char kHelp[] =
    "Command-line options:\r\n/rotate\tchange desktop-wallpaper to\r\n\tthe next file of the "
    "image list,\r\n\tafter the last one it set\r\n/auto\tauto-change desktop-wallpaper\r\n"
    "\teach time the current\r\n\tuser logs on\r\n/remove\tstop auto-changing\r\n"
    "\tdesktop-wallpaper\n";

QString ControlField(const QString& package, const QString& field) {
  return QString::fromUtf8(RunTool("dpkg-deb", {"--field", package, field}).out).trimmed();
}

// "libc6 (>= 2.34), libfoo | libbar" -> {"libc6", "libfoo", "libbar"}
QStringList PackageNames(const QString& relation) {
  QStringList names;
  for (const QString& alternative : relation.split(QRegularExpression("[,|]"))) {
    names += alternative.trimmed().section(QRegularExpression("[ (]"), 0, 0);
  }
  return names;
}

QStringList NeededLibraries(const QString& elf) {
  static const QRegularExpression kNeeded("\\(NEEDED\\)\\s+Shared library: \\[(.+)\\]");
  QStringList names;
  for (const auto& match :
       kNeeded.globalMatch(QString::fromUtf8(RunTool("readelf", {"-d", elf}).out))) {
    names += match.captured(1);
  }
  return names;
}

// Where the dynamic loader finds each library the file loads.
QMap<QString, QString> ResolvedLibraries(const QString& elf) {
  static const QRegularExpression kLine("^\\s*(\\S+) => (\\S+) \\(",
                                        QRegularExpression::MultilineOption);
  QMap<QString, QString> paths;
  for (const auto& match : kLine.globalMatch(QString::fromUtf8(RunTool("ldd", {elf}).out))) {
    paths.insert(match.captured(1), match.captured(2));
  }
  return paths;
}

// The Debian package that holds the file; with /lib a link to /usr/lib, dpkg
// knows a library under either name.
QString OwningPackage(const QString& path) {
  for (const QString& name : {path, path.startsWith("/usr/") ? path.mid(4) : "/usr" + path}) {
    const Finished search = RunTool("dpkg", {"--search", name});
    if (search.status == 0) return QString::fromUtf8(search.out).section(QLatin1Char(':'), 0, 0);
  }
  return {};
}

}  // namespace

bool tst_Package::InScratchRoot(const QString& path) const {
  return QFileInfo(path).canonicalFilePath().startsWith(QDir(root_.path()).canonicalPath() + '/');
}

void tst_Package::initTestCase() {
  const Finished cpack =
      RunTool(ZV_CPACK, {"--config", ZV_BUILD_DIR "/CPackConfig.cmake", "-B", work_.path()});
  QVERIFY2(cpack.status == 0, cpack.out + cpack.err);
  const QStringList built = QDir(work_.path()).entryList({"*.deb"}, QDir::Files);
  QCOMPARE(built.size(), 1);
  package_ = work_.filePath(built.first());
  QCOMPARE(RunTool("dpkg-deb", {"-x", package_, root_.path()}).status, 0);
}

void tst_Package::dependsOnThePackagesOfEveryLibraryItLoads() {
  QCOMPARE(ControlField(package_, "Package"), QString("zvistaro02"));
  QCOMPARE(ControlField(package_, "Version"), QString(ZV_VERSION));
  const QStringList depends = PackageNames(ControlField(package_, "Depends"));
  QVERIFY(!depends.contains("zvistaro02"));

  const QString program = Installed("bin/ZVistaro02");
  const QString zkit = ResolvedLibraries(program).value("libZKit10.so.0.2");
  // The program loads the ZKit10 that came with it, never the build's.
  QVERIFY2(InScratchRoot(zkit), qPrintable(zkit));
  int checked = 0;
  for (const QString& elf : {program, zkit}) {
    const QMap<QString, QString> resolved = ResolvedLibraries(elf);
    for (const QString& library : NeededLibraries(elf)) {
      if (InScratchRoot(resolved.value(library))) continue;
      const QString owner = OwningPackage(resolved.value(library));
      QVERIFY2(!owner.isEmpty(), qPrintable(library + " belongs to no Debian package"));
      QVERIFY2(depends.contains(owner), qPrintable(owner + " (for " + library + ") missing"));
      ++checked;
    }
  }
  // At least libc and Qt, for both files.
  QVERIFY(checked >= 4);
}

void tst_Package::installsTheLauncherIconsAndManualPage() {
  CheckInstalledFiles(root_.filePath("usr"));
}

void tst_Package::installedProgramRotatesTheWallpaper() {
  QTemporaryDir home;
  const QDir folder(home.path());
  QStringList pictures;
  for (const char* name : {"first.png", "second view.png", "third.png"}) {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(folder.filePath(name), "PNG"));
    pictures += folder.filePath(name);
  }
  const QString settingsFile = folder.filePath("config/Zorvane Vistaro 0.2.ini");
  {
    StringList names;
    names.SetSeparator("; ");
    for (const QString& picture : pictures) names.Add(picture);
    QSettings settings(settingsFile, QSettings::IniFormat);
    settings.setValue("Main/ImageListContent", names.Text());
    settings.setValue("Main/ImageListLastSelected", pictures.first());
  }
  const QString log = folder.filePath("wallpaper.log");
  const QString recorder = folder.filePath("set-wallpaper");
  QFile script(recorder);
  QVERIFY(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\nprintf '%s|' \"$@\" > \"$ZV_TEST_LOG\"\n");
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", folder.filePath("config"));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("ZVISTARO_WALLPAPER_COMMAND", recorder + " --fill");
  env.insert("ZV_TEST_LOG", log);
  program.setProcessEnvironment(env);
  program.start(Installed("bin/ZVistaro02"), {"/rotate"});
  QVERIFY(program.waitForFinished(30000));
  QCOMPARE(program.readAllStandardError(), QByteArray());
  QCOMPARE(program.exitCode(), 0);

  QFile recorded(log);
  QVERIFY(recorded.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(recorded.readAll()), "--fill|" + pictures[1] + "|");
  QCOMPARE(QSettings(settingsFile, QSettings::IniFormat).value("Main/ImageListLastSelected"),
           QVariant(pictures[1]));
}

void tst_Package::installedProgramPrintsTheHelpOnTheConsole() {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(Installed("bin/ZVistaro02"), {"/?"});
  QVERIFY(program.waitForFinished(30000));
  QCOMPARE(program.exitCode(), 0);
  QCOMPARE(program.readAllStandardOutput(), QByteArray(kHelp));
  QCOMPARE(program.readAllStandardError(), QByteArray());
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"
