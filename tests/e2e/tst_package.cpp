#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "InstalledFiles.h"

// The Debian package, built from this build folder by cpack, checked by
// Debian's lintian, unpacked into a scratch root and run from there.
class tst_Package : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void passesLintianWithoutErrorOrWarning();
  void declaresItselfAndItsPluginDependency();
  void installedProgramRunsWithItsPrivateZKit10();

 private:
  QTemporaryDir work_;
  QTemporaryDir root_;
  QString package_;
};

void tst_Package::initTestCase() {
  const Finished cpack =
      RunTool(ZV_CPACK, {"--config", ZV_BUILD_DIR "/CPackConfig.cmake", "-B", work_.path()});
  QVERIFY2(cpack.status == 0, cpack.out + cpack.err);
  const QStringList built = QDir(work_.path()).entryList({"*.deb"}, QDir::Files);
  QCOMPARE(built.size(), 1);
  package_ = work_.filePath(built.first());
  QCOMPARE(RunTool("dpkg-deb", {"-x", package_, root_.path()}).status, 0);
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

void tst_Package::installedProgramRunsWithItsPrivateZKit10() {
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

  const Finished help = RunTool(program, {"/?"});
  QCOMPARE(help.status, 0);
  QVERIFY2(help.out.startsWith("Command-line options:\r\n/rotate\t"), help.out + help.err);
  QCOMPARE(help.err, QByteArray());
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"
