#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "startup/VersionText.h"

// The installed program, both ways: cmake --install into a fresh prefix, and
// the Debian package built from this build folder by cpack, checked by
// Debian's lintian, unpacked into a scratch root and run from there.
class tst_Package : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cmakeInstallRunsByItsBareName();
  void passesLintianWithoutErrorOrWarning();
  void declaresItselfAndItsPluginDependency();
  void packagedProgramRunsWithItsPrivateZKit10();

 private:
  QTemporaryDir work_;
  QTemporaryDir root_;
  QString package_;
};

namespace {

// What a run of a helper program gave.
struct Finished {
  int status = -1;
  QByteArray out;
  QByteArray err;
};

// Runs a program to its end (at most a minute) with the test's environment
// and, where given, PATH.
Finished RunTool(const QString& program, const QStringList& arguments,
                 const QString& path = QString()) {
  QProcess process;
  if (!path.isEmpty()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", path);
    process.setProcessEnvironment(env);
  }
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) return {};
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

void CheckLauncherAndIcons(const QString& prefix) {
  const Finished validate =
      RunTool("desktop-file-validate", {prefix + "/share/applications/ZVistaro02.desktop"});
  QVERIFY2(validate.status == 0 && validate.out.isEmpty(), validate.out + validate.err);
  for (const int size : {16, 32, 48, 256}) {
    QImageReader icon(prefix +
                      QStringLiteral("/share/icons/hicolor/%1x%1/apps/ZVistaro02.png").arg(size));
    QCOMPARE(icon.size(), QSize(size, size));
    QVERIFY(!icon.read().isNull());
  }
}

void CheckManualPage(const QString& prefix) {
  const QString page = prefix + "/share/man/man1/ZVistaro02.1.gz";
  const Finished text = RunTool("gzip", {"-dc", page});
  QCOMPARE(text.status, 0);
  // The page's header names the version it describes.
  QVERIFY2(text.out.startsWith(".TH ZVISTARO02 1 ") &&
               text.out.left(text.out.indexOf('\n')).contains(modMain::VersionTitle().toUtf8()),
           text.out.left(100));
  // Typeset, and on a terminal of 80 columns as man shows it, where a long
  // name can leave a line that cannot be broken or adjusted.
  for (const QString options : {"", "-Tutf8 -rLL=78n"}) {
    const Finished groff = RunTool(
        "/bin/sh", {"-c", "gzip -dc \"$1\" | groff -ww -man -z " + options, "render", page});
    QCOMPARE(groff.err, QByteArray());
    QCOMPARE(groff.status, 0);
  }
}

// The files an installed tree holds besides the program: the launcher passes
// desktop-file-validate, the icon has every theme size, and the manual page
// names this version and renders without a single groff warning.
void CheckInstalledFiles(const QString& prefix) {
  CheckLauncherAndIcons(prefix);
  if (QTest::currentTestFailed()) return;
  CheckManualPage(prefix);
}

void CheckPrintsHelp(const Finished& help) {
  QCOMPARE(help.status, 0);
  QVERIFY2(help.out.startsWith("Command-line options:\r\n/rotate\t"), help.out + help.err);
  QCOMPARE(help.err, QByteArray());
}

}  // namespace

void tst_Package::initTestCase() {
  const Finished cpack =
      RunTool(ZV_CPACK, {"--config", ZV_BUILD_DIR "/CPackConfig.cmake", "-B", work_.path()});
  QVERIFY2(cpack.status == 0, cpack.out + cpack.err);
  const QStringList built = QDir(work_.path()).entryList({"*.deb"}, QDir::Files);
  QCOMPARE(built.size(), 1);
  package_ = work_.filePath(built.first());
  QCOMPARE(RunTool("dpkg-deb", {"-x", package_, root_.path()}).status, 0);
}

void tst_Package::cmakeInstallRunsByItsBareName() {
  QTemporaryDir prefix;
  const Finished install =
      RunTool(ZV_CMAKE, {"--install", ZV_BUILD_DIR, "--prefix", prefix.path()});
  QVERIFY2(install.status == 0, install.out + install.err);
  CheckInstalledFiles(prefix.path());
  if (QTest::currentTestFailed()) return;
  CheckPrintsHelp(
      RunTool("/bin/sh", {"-c", "ZVistaro02 /?"}, prefix.filePath("bin") + ":/usr/bin:/bin"));
}

void tst_Package::passesLintianWithoutErrorOrWarning() {
  // Informational tags are fine; any error or warning fails lintian itself.
  const Finished lintian = RunTool("lintian", {"--fail-on", "error,warning", package_});
  QVERIFY2(lintian.status == 0, lintian.out + lintian.err);
}

void tst_Package::declaresItselfAndItsPluginDependency() {
  const QByteArray control = "\n" + RunTool("dpkg-deb", {"--field", package_}).out;
  QVERIFY(control.contains("\nPackage: zvistaro02\n"));
  QVERIFY(control.contains("\nVersion: " ZV_VERSION "\n"));
  // No library of the program links Qt's extra picture formats: only this
  // declared dependency brings them.
  const QString depends =
      QRegularExpression("\nDepends: ([^\n]*)").match(QString::fromUtf8(control)).captured(1);
  QVERIFY2(depends.split(QRegularExpression(",\\s*")).contains("qt6-image-formats-plugins"),
           qPrintable(depends));

  QFile copyright(root_.filePath("usr/share/doc/zvistaro02/copyright"));
  QVERIFY(copyright.open(QIODevice::ReadOnly));
  const QByteArray text = copyright.readAll();
  QVERIFY(text.contains("\nCopyright: 2026 The Zorvane Vistaro authors\nLicense: Expat\n"));
  QVERIFY(text.contains("\n .\n THE SOFTWARE IS PROVIDED \"AS IS\""));
}

void tst_Package::packagedProgramRunsWithItsPrivateZKit10() {
  CheckInstalledFiles(root_.filePath("usr"));
  if (QTest::currentTestFailed()) return;

  // The executable's run path finds ZKit10 in the package's private folder,
  // never in the build folder or a system one.
  const QString program = root_.filePath("usr/bin/ZVistaro02");
  const QString ldd = QString::fromUtf8(RunTool("ldd", {program}).out);
  const QString zkit =
      QRegularExpression("libZKit10\\.so\\.0\\.2 => (\\S+)").match(ldd).captured(1);
  QVERIFY2(!zkit.isEmpty(), qPrintable(ldd));
  QCOMPARE(QFileInfo(zkit).canonicalFilePath(),
           QFileInfo(root_.filePath("usr/lib/zvistaro02/libZKit10.so.0.2")).canonicalFilePath());
  CheckPrintsHelp(RunTool(program, {"/?"}));
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"
