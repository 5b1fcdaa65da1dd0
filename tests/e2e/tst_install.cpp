#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "InstalledFiles.h"

// cmake --install into a fresh prefix gives a program that runs from there
// by its bare name, with its launcher, icons and manual page.
class tst_Install : public QObject {
  Q_OBJECT

 private slots:
  void installedProgramRunsByItsBareName();
};

void tst_Install::installedProgramRunsByItsBareName() {
  QTemporaryDir prefix;
  QProcess install;
  install.start(ZV_CMAKE, {"--install", ZV_BUILD_DIR, "--prefix", prefix.path()});
  QVERIFY(install.waitForFinished(60000));
  QCOMPARE(install.exitCode(), 0);

  CheckInstalledFiles(prefix.path());
  if (QTest::currentTestFailed()) return;

  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PATH", prefix.filePath("bin") + ":/usr/bin:/bin");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start("/bin/sh", {"-c", "ZVistaro02 /?"});
  QVERIFY(program.waitForFinished(30000));
  QCOMPARE(program.exitCode(), 0);
  QVERIFY(program.readAllStandardOutput().startsWith("Command-line options:\r\n"));
}

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_install.moc"
