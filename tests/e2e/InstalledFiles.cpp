#include "InstalledFiles.h"

#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QtTest>

#include "startup/VersionText.h"

Finished RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) return {};
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

namespace {

void CheckLauncher(const QString& prefix) {
  const Finished validate =
      RunTool("desktop-file-validate", {prefix + "/share/applications/ZVistaro02.desktop"});
  QVERIFY2(validate.status == 0 && validate.out.isEmpty(), validate.out + validate.err);
}

void CheckIcons(const QString& prefix) {
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

}  // namespace

void CheckInstalledFiles(const QString& prefix) {
  CheckLauncher(prefix);
  if (QTest::currentTestFailed()) return;
  CheckIcons(prefix);
  if (QTest::currentTestFailed()) return;
  CheckManualPage(prefix);
}
