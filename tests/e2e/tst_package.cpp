#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "startup/VersionText.h"

// The installed program, both ways: cmake --install into a fresh prefix, and
// the Debian package built from this build folder by cpack, checked by
// lintian and unpacked into a scratch root.
class tst_Package : public QObject {
  Q_OBJECT

 private slots:
  void installedTrees();
};

// Each check of the script is quiet unless it fails (set -e ends it there);
// the control file names the package, its version and the dependency that
// alone brings Qt's extra picture formats; the copyright file names the
// authors and the licence. In each tree the launcher validates, the icon has
// every theme size, the manual page names this version and renders without a
// groff warning (also on an 80 column terminal, where a long name can leave a
// line that cannot be broken), and the program runs by its bare name with
// the ZKit10 of its private folder.
void tst_Package::installedTrees() {
  QTemporaryDir work;
  QProcess sh;
  sh.setProcessChannelMode(QProcess::MergedChannels);
  sh.setWorkingDirectory(work.path());
  sh.start("/bin/sh",
           {"-c", R"sh(set -e
"$1" --config "$2"/CPackConfig.cmake -B . >/dev/null 2>&1
dpkg-deb -x ./*.deb root
"$3" --install "$2" --prefix prefix >/dev/null
lintian --fail-on error,warning ./*.deb 2>/dev/null
dpkg-deb --field ./*.deb Package Version Depends | tr '\n' ' ' | grep -qE \
  "^Package: zvistaro02 Version: $4 Depends: (.*, )?qt6-image-formats-plugins(,| |$)"
dpkg-deb --field ./*.deb Depends | grep 'libheif1 ' | grep -q 'libjxl0.7 '
[ "$(grep -c -e '^Copyright: 2026 The Zorvane Vistaro authors$' -e '^License: Expat$' \
  -e '^ THE SOFTWARE IS PROVIDED "AS IS"' root/usr/share/doc/zvistaro02/copyright)" = 3 ]
for t in "$PWD/prefix" "$PWD/root/usr"; do
  desktop-file-validate "$t"/share/applications/ZVistaro02.desktop
  for s in 16 32 48 256; do
      file "$t/share/icons/hicolor/${s}x$s/apps/ZVistaro02.png" | grep -q "PNG image data, $s x $s,"
  done
  m=$t/share/man/man1/ZVistaro02.1.gz
  gzip -dc "$m" | head -n 1 | grep '^\.TH ZVISTARO02 1 ' | grep -qF "$5"
  gzip -dc "$m" | groff -ww -man -z
  gzip -dc "$m" | groff -ww -man -z -Tutf8 -rLL=78n
  [ "$(ldd "$t"/bin/ZVistaro02 | grep -o '/[^ ]*ZKit10[^ ]*' | xargs readlink -f)" = \
    "$(readlink -f "$t"/lib/zvistaro02/libZKit10.so.0.2)" ]
  PATH="$t/bin:/usr/bin:/bin" ZVistaro02 /? >help
  [ "$(head -c 30 help)" = "$(printf 'Command-line options:\n/rotate\t')" ]
done)sh",
            "sh", ZV_CPACK, ZV_BUILD_DIR, ZV_CMAKE, ZV_VERSION, modMain::VersionTitle()});
  QVERIFY(sh.waitForFinished(300000));
  QCOMPARE(sh.readAll() + QByteArray::number(sh.exitCode()), "0");
}

QTEST_GUILESS_MAIN(tst_Package)
#include "tst_package.moc"
