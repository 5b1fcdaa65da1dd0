#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "platform/linux/LinuxPatternListing.h"
#include "support/TestSupport.h"

class tst_PatternListing : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void wildcards_data();
  void wildcards();
  void listsMatchingPlainFilesInOrder_data();
  void listsMatchingPlainFilesInOrder();
  void patternsWithoutAnyMatch_data();
  void patternsWithoutAnyMatch();
  void barePatternUsesTheCurrentFolder();

 private:
  QTemporaryDir dir_;
};

void tst_PatternListing::initTestCase() {
  for (const char* name : {"b.bmp", "a.bmp", "B.BMP", "c.dib", ".hidden.bmp", "x[1].bmp", "x1.bmp",
                           "a;b.bmp", "with blank.bmp", "ab"}) {
    MakeFile(dir_.path(), name);
  }
  QVERIFY(QDir(dir_.path()).mkdir("sub.bmp"));
  QVERIFY(QFile::link(dir_.filePath("a.bmp"), dir_.filePath("link.bmp")));
  QVERIFY(QFile::link(dir_.filePath("gone"), dir_.filePath("dangling.bmp")));
  QCOMPARE(mkfifo(QFile::encodeName(dir_.filePath("fifo.bmp")).constData(), 0600), 0);
}

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
  QTest::newRow("question mark is one character") << "a?c"
                                                  << "abc" << true;
  QTest::newRow("question mark over a surrogate pair") << "?.bmp"
                                                       << "\U0001F600.bmp" << true;
  QTest::newRow("bracket is plain") << "x[1]"
                                    << "x1" << false;
  QTest::newRow("case counts") << "*.bmp"
                               << "A.BMP" << false;
  QTest::newRow("whole name only") << "a.bmp"
                                   << "a.bmpx" << false;
  QTest::newRow("empty name and stars") << "**"
                                        << "" << true;
}

void tst_PatternListing::wildcards() {
  QFETCH(QString, element);
  QFETCH(QString, name);
  QFETCH(bool, matches);
  QCOMPARE(MatchesWildcards(element, name), matches);
}

void tst_PatternListing::listsMatchingPlainFilesInOrder_data() {
  QTest::addColumn<QString>("element");
  QTest::addColumn<QStringList>("names");
  QTest::newRow("no hidden, folders, fifos or dangling links")
      << "*.bmp" << QStringList{"a.bmp",          "a;b.bmp", "b.bmp",   "link.bmp",
                                "with blank.bmp", "x1.bmp",  "x[1].bmp"};
  QTest::newRow("upper case") << "*.BMP" << QStringList{"B.BMP"};
  QTest::newRow("star matches names without a dot")
      << "*" << QStringList{"B.BMP", "a.bmp",    "a;b.bmp",        "ab",     "b.bmp",
                            "c.dib", "link.bmp", "with blank.bmp", "x1.bmp", "x[1].bmp"};
  QTest::newRow("question mark") << "?.bmp" << QStringList{"a.bmp", "b.bmp"};
  QTest::newRow("bracket is plain") << "x[1].bmp" << QStringList{"x[1].bmp"};
  QTest::newRow("semicolon is plain") << "*;*" << QStringList{"a;b.bmp"};
  QTest::newRow("blank is plain") << "with blank*" << QStringList{"with blank.bmp"};
  QTest::newRow("no wildcard") << "c.dib" << QStringList{"c.dib"};
}

void tst_PatternListing::listsMatchingPlainFilesInOrder() {
  QFETCH(QString, element);
  QFETCH(QStringList, names);
  QCOMPARE(LinuxPatternListing().Matches(dir_.filePath(element)), names);
  QCOMPARE(LinuxPatternListing().Matches(dir_.path() + "//" + element), names);
}

void tst_PatternListing::patternsWithoutAnyMatch_data() {
  QTest::addColumn<QString>("pattern");
  QTest::newRow("folder name") << dir_.filePath("sub.bmp");
  QTest::newRow("hidden file") << dir_.filePath(".hidden.bmp");
  QTest::newRow("missing folder") << dir_.filePath("missing/*");
  QTest::newRow("wildcard in the folder part") << dir_.path() + "*/*.bmp";
  QTest::newRow("nothing after the separator") << dir_.path() + "/";
  QTest::newRow("empty") << QString();
  QTest::newRow("NUL") << dir_.filePath("*") + QChar(u'\0');
}

void tst_PatternListing::patternsWithoutAnyMatch() {
  QFETCH(QString, pattern);
  QCOMPARE(LinuxPatternListing().Matches(pattern), QStringList());
}

void tst_PatternListing::barePatternUsesTheCurrentFolder() {
  const QString previous = QDir::currentPath();
  QVERIFY(QDir::setCurrent(dir_.path()));
  const QStringList matches = LinuxPatternListing().Matches("*.dib");
  const QStringList inSub = LinuxPatternListing().Matches("sub.bmp/*");
  QDir::setCurrent(previous);
  QCOMPARE(matches, QStringList{"c.dib"});
  QCOMPARE(inSub, QStringList());
  QCOMPARE(FolderSeparator(), QStringLiteral("/"));
}

QTEST_GUILESS_MAIN(tst_PatternListing)
#include "tst_patternlisting.moc"
