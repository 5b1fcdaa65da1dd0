#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "platform/linux/LinuxPatternListing.h"
#include "support/TestSupport.h"

// What the window's tests of typed patterns do not reach: the matcher's
// corner cases and the kinds of directory entry that are no plain files.
class tst_PatternListing : public QObject {
  Q_OBJECT

 private slots:
  void wildcards_data();
  void wildcards();
  void onlyPlainFilesAndLinksToThem();
};

void tst_PatternListing::wildcards_data() {
  QTest::addColumn<QString>("element");
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("matches");
  QTest::newRow("star matches nothing") << "a*"
                                        << "a" << true;
  QTest::newRow("star backtracks") << "*ab*cd"
                                   << "xabyabzcd" << true;
  QTest::newRow("star cannot skip the tail") << "*ab*cd"
                                             << "xabyabzc" << false;
  QTest::newRow("question mark needs a character") << "a?"
                                                   << "a" << false;
  QTest::newRow("question mark over a surrogate pair") << "?.bmp"
                                                       << "\U0001F600.bmp" << true;
  QTest::newRow("bracket is plain") << "x[1]"
                                    << "x1" << false;
  QTest::newRow("whole name only") << "a.bmp"
                                   << "a.bmpx" << false;
}

void tst_PatternListing::wildcards() {
  QFETCH(QString, element);
  QFETCH(QString, name);
  QFETCH(bool, matches);
  QCOMPARE(MatchesWildcards(element, name), matches);
}

void tst_PatternListing::onlyPlainFilesAndLinksToThem() {
  QTemporaryDir dir;
  MakeFile(dir.path(), "a.bmp");
  QVERIFY(QFile::link(dir.filePath("a.bmp"), dir.filePath("link.bmp")));
  QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling.bmp")));
  QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.bmp")).constData(), 0600), 0);
  LinuxPatternListing listing;
  QCOMPARE(listing.Matches(dir.filePath("*")), (QStringList{"a.bmp", "link.bmp"}));
  QCOMPARE(listing.Matches(dir.filePath("*") + QChar(u'\0')), QStringList());
  QCOMPARE(listing.Matches(QString()), QStringList());
}

QTEST_GUILESS_MAIN(tst_PatternListing)
#include "tst_patternlisting.moc"
