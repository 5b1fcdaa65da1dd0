#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "kit/KitGlobal.h"
#include "kit/StringList.h"
#include "platform/linux/AutostartEntry.h"
#include "platform/linux/LinuxPatternListing.h"
#include "platform/linux/LinuxProcessInfo.h"
#include "support/TestSupport.h"

class tst_LinuxPlatform : public QObject {
  Q_OBJECT

 private slots:
  // A command line holding a control character writes nothing; a folder in
  // the entry's place is no entry to delete.
  void refusedEntriesWriteNothingAndFoldersStay() {
    QTemporaryDir dir;
    FakeProcess process;
    AutostartEntry entry(dir.filePath("autostart"), dir.filePath("data"), process);
    QCOMPARE(ErrorOf([&] { entry.WriteCommandLine("ZVistaro02 /rotate\x1b"); }), -2147024809);
    QVERIFY(QDir(dir.path()).isEmpty());
    QVERIFY(QDir().mkpath(entry.File()));
    QVERIFY(ErrorOf([&] { entry.Remove(); }) != 0);
    QVERIFY(QFileInfo(entry.File()).isDir());
  }

  void plainFilesAndLinksToThemMatch() {
    // A star matches nothing and backtracks, but cannot skip the tail; a
    // question mark needs a character, even a surrogate pair; the whole name.
    for (const auto& [element, name, matches] : {std::tuple{"a*", "a", true},
                                                 {"*ab*cd", "xabyabzcd", true},
                                                 {"*ab*cd", "xabyabzc", false},
                                                 {"a?", "a", false},
                                                 {"?.bmp", "\U0001F600.bmp", true},
                                                 {"a.bmp", "a.bmpx", false}}) {
      QVERIFY2(MatchesWildcards(QString::fromUtf8(element), QString::fromUtf8(name)) == matches,
               element);
    }
    QTemporaryDir dir;
    const QString file = MakeFile(dir.path(), "a.bmp");
    QVERIFY(QFile::link(file, dir.filePath("link.bmp")));
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling.bmp")));
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.bmp")).constData(), 0600), 0);
    LinuxPatternListing listing;
    QCOMPARE(listing.Matches(dir.filePath("*")), (QStringList{"a.bmp", "link.bmp"}));
    QCOMPARE(listing.Matches(dir.filePath("*") + QChar(u'\0')), QStringList());
    // A name of the list counts as the same kind of file.
    QVERIFY(KitGlobal().FileExists(file) && KitGlobal().FileExists(dir.filePath("link.bmp")));
    for (const QString& name :
         {dir.filePath("dangling.bmp"), dir.filePath("fifo.bmp"), dir.path(),
          dir.filePath("missing.bmp"), QString(), file + QChar(u'\0') + "tail", file.toUpper()}) {
      QVERIFY2(!KitGlobal().FileExists(name), qPrintable(name));
    }
  }

  // The command line joined from odd arguments splits back into them with
  // the program's argument list; a Wayland display that is not there is not
  // interactive.
  void processCommandLineAndDisplays() {
    for (const QStringList& arguments :
         {QStringList{}, QStringList{""}, QStringList{"a", "", " lead", "in side", "trail ", "  "},
          QStringList{"\"", "a\"b", "\"\"", "\"q\"", "a\tb", "c;d", "ü"}}) {
      StringList split;
      split.SetText(JoinCommandLine(arguments));
      QStringList items;
      for (int i = 1; i <= split.Count(); ++i) items += split.Item(i);
      QCOMPARE(items, arguments);
    }
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qputenv("WAYLAND_DISPLAY", "no-such-wayland-socket");
    QVERIFY(!DetectInteractiveDisplay());
  }
};

QTEST_GUILESS_MAIN(tst_LinuxPlatform)
#include "tst_linuxplatform.moc"
