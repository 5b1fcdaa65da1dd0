#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "startup/VersionText.h"

namespace {

struct Finished {
  int status = -1;
  QByteArray out, err;
};

// Runs the shell script with the arguments as $1 and on, for at most a minute.
Finished Sh(const QString& script, const QStringList& arguments = {}) {
  QProcess process;
  process.start("/bin/sh", QStringList{"-c", script, "sh"} + arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) return {};
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

}  // namespace

// The installed program, both ways: cmake --install into a fresh prefix, and
// the Debian package built from this build folder by cpack, checked by
// lintian and unpacked into a scratch root.
class tst_Package : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void installedTree_data();
  void installedTree();

 private:
  QTemporaryDir work_;
};

void tst_Package::initTestCase() {
  const Finished made =
      Sh("\"$1\" --config \"$2\"/CPackConfig.cmake -B \"$3\" && "
         "dpkg-deb -x \"$3\"/*.deb \"$3/root\" && \"$4\" --install \"$2\" "
         "--prefix \"$3/prefix\" && ls \"$3\"/*.deb",
         {ZV_CPACK, ZV_BUILD_DIR, work_.path(), ZV_CMAKE});
  QVERIFY2(made.status == 0, made.out + made.err);
  // Lintian finds no error or warning; the control file names the package,
  // its version and the dependency that alone brings Qt's extra picture
  // formats; the copyright file names the authors and the licence.
  const Finished checked = Sh(
      "lintian --fail-on error,warning \"$1\" && dpkg-deb --field \"$1\" Package Version Depends | "
      "tr '\\n' ' ' | grep -E '^Package: zvistaro02 Version: " ZV_VERSION
      " Depends: (.*, )?qt6-image-formats-plugins(,| |$)' && [ \"$(grep -c "
      "-e '^Copyright: 2026 The Zorvane Vistaro authors$' -e '^License: Expat$' "
      "-e '^ THE SOFTWARE IS PROVIDED \"AS IS\"' "
      "\"$2\"/root/usr/share/doc/zvistaro02/copyright)\" = 3 ]",
      {QString::fromUtf8(made.out.trimmed().split('\n').last()), work_.path()});
  QVERIFY2(checked.status == 0, checked.out + checked.err);
}

void tst_Package::installedTree_data() {
  QTest::addColumn<QString>("tree");
  QTest::newRow("cmake --install") << work_.filePath("prefix");
  QTest::newRow("Debian package") << work_.filePath("root/usr");
}

// The launcher validates, the icon has every theme size, the manual page
// names this version and renders without a groff warning (also on an 80
// column terminal, where a long name can leave a line that cannot be
// broken), and the program runs by its bare name with the ZKit10 of its
// private folder.
void tst_Package::installedTree() {
  QFETCH(QString, tree);
  const Finished validate =
      Sh("desktop-file-validate \"$1\"/share/applications/ZVistaro02.desktop", {tree});
  QVERIFY2(validate.status == 0 && validate.out.isEmpty(), validate.out + validate.err);
  for (const int size : {16, 32, 48, 256}) {
    QImageReader icon(tree + QString("/share/icons/hicolor/%1x%1/apps/ZVistaro02.png").arg(size));
    QCOMPARE(icon.read().size(), QSize(size, size));
  }
  const QString page = tree + "/share/man/man1/ZVistaro02.1.gz";
  const QByteArray header = Sh("gzip -dc \"$1\" | head -n 1", {page}).out;
  QVERIFY2(
      header.startsWith(".TH ZVISTARO02 1 ") && header.contains(modMain::VersionTitle().toUtf8()),
      header);
  for (const QString options : {"", "-Tutf8 -rLL=78n"}) {
    const Finished groff = Sh("gzip -dc \"$1\" | groff -ww -man -z " + options, {page});
    QCOMPARE(groff.err + QByteArray::number(groff.status), "0");
  }
  const Finished ldd = Sh("ldd \"$1\"/bin/ZVistaro02 | grep -o '=> [^ ]*ZKit10[^ ]*'", {tree});
  QCOMPARE(QFileInfo(QString::fromUtf8(ldd.out.mid(3).trimmed())).canonicalFilePath(),
           QFileInfo(tree + "/lib/zvistaro02/libZKit10.so.0.2").canonicalFilePath());
  const Finished help = Sh("PATH=\"$1/bin:/usr/bin:/bin\" ZVistaro02 /?", {tree});
  QCOMPARE(help.err + QByteArray::number(help.status), "0");
  QVERIFY2(help.out.startsWith("Command-line options:\r\n/rotate\t"), help.out);
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"
