#include <QRandomGenerator>
#include <QtTest>

#include "kit/KitGlobal.h"
#include "kit/ProgramError.h"
#include "kit/StringList.h"

namespace {

// Configured as the stored image list is.
StringList ListTextList() {
  StringList list;
  list.SetSeparator(QStringLiteral("; "));
  list.SetQuoteBegin(QStringLiteral("\""));
  list.SetQuoteEnd(QStringLiteral("\""));
  return list;
}

QStringList Items(const StringList& list) {
  QStringList items;
  for (int i = 1; i <= list.Count(); ++i) items.append(list.Item(i));
  return items;
}

QStringList RoundTrip(const QStringList& items) {
  StringList writer = ListTextList();
  for (const QString& item : items) writer.Add(item, -1);
  StringList reader = ListTextList();
  reader.SetText(writer.Text());
  return Items(reader);
}

}  // namespace

class tst_StringList : public QObject {
  Q_OBJECT

 private slots:
  void randomListsRoundTrip();
  void splitting_data();
  void splitting();
  void positionsOutsideTheListAreErrorNine();
};

void tst_StringList::randomListsRoundTrip() {
  // Characters that matter to the format mixed with plain ones, in lists of
  // up to five items of up to seven: empty items and lists, separators and
  // quotes inside, NUL, line breaks, characters outside the BMP and lone
  // surrogates all come up.
  const QString alphabet = QStringLiteral("\";  a/\n\r\t\\.\u00DC\U0001F600") + QChar(0xD83D) +
                           QChar(u'\0') + QChar(0xDE00);
  QRandomGenerator random(20261206);
  for (int round = 0; round < 5000; ++round) {
    QStringList items;
    const int count = random.bounded(6);
    for (int i = 0; i < count; ++i) {
      QString item;
      const int length = random.bounded(8);
      for (int c = 0; c < length; ++c) item += alphabet.at(random.bounded(alphabet.size()));
      items.append(item);
    }
    const QStringList back = RoundTrip(items);
    if (back != items) QFAIL(qPrintable(QStringLiteral("round %1 lost items").arg(round)));
  }
}

void tst_StringList::splitting_data() {
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("items");
  const QString stored("; "), blank(" "), nul(QChar(u'\0'));
  QTest::newRow("empty text is no item") << stored << "" << QStringList{};
  QTest::newRow("unquoted items") << stored << "/a.bmp; /b.bmp" << QStringList{"/a.bmp", "/b.bmp"};
  QTest::newRow("mixed") << stored << "\"/a b.bmp\"; /c.bmp" << QStringList{"/a b.bmp", "/c.bmp"};
  QTest::newRow("quoted separator after unquoted items")
      << stored << "x; y; \"a; b\"; c" << QStringList{"x", "y", "a; b", "c"};
  QTest::newRow("unterminated quote runs to the end") << stored << "\"a; b" << QStringList{"a; b"};
  QTest::newRow("text after a closing quote joins the item")
      << stored << "\"a\"b; c" << QStringList{"ab", "c"};
  QTest::newRow("separators only") << stored << "; ; " << QStringList{};
  QTest::newRow("arguments: blanks only") << blank << "   " << QStringList{};
  QTest::newRow("arguments: blanks around") << blank << "  /rotate  " << QStringList{"/rotate"};
  QTest::newRow("arguments: runs of blanks") << blank << "/a   b c" << QStringList{"/a", "b", "c"};
  QTest::newRow("arguments: quoted blanks") << blank << "\"a b\" c" << QStringList{"a b", "c"};
  QTest::newRow("arguments: empty argument") << blank << "\"\" x" << QStringList{"", "x"};
  QTest::newRow("arguments: doubled quote inside quotes")
      << blank << "\"say \"\"hi\"\"\"" << QStringList{"say \"hi\""};
  QTest::newRow("arguments: quoted part inside") << blank << "ab\"c d\"e" << QStringList{"abc de"};
  QTest::newRow("arguments: tab is no separator") << blank << "a\tb" << QStringList{"a\tb"};
  QTest::newRow("NUL: every NUL splits, quotes are plain")
      << nul << "/pics" + nul + "a \"b\".bmp" + nul + nul + "c.bmp"
      << QStringList{"/pics", "a \"b\".bmp", "", "c.bmp"};
  QTest::newRow("NUL: none is one item")
      << nul << "/pics/one; \"file\".bmp" << QStringList{"/pics/one; \"file\".bmp"};
}

// The stored list's format, the command line's (configured by default) and
// a NUL-separated one without quotes.
void tst_StringList::splitting() {
  QFETCH(QString, separator);
  QFETCH(QString, text);
  QFETCH(QStringList, items);
  StringList list = ListTextList();
  if (separator == QString(QChar(u'\0'))) {
    list.SetSeparator(separator);
    list.SetQuoteBegin(QString());
    list.SetQuoteEnd(QString());
  }
  StringList& splitter = separator == " " ? KitGlobal().Arguments() : list;
  splitter.SetText(text);
  QCOMPARE(Items(splitter), items);
  if (list.QuoteBegin().isEmpty()) QCOMPARE(list.Text(), text);
}

void tst_StringList::positionsOutsideTheListAreErrorNine() {
  StringList list = ListTextList();
  list.Add(QStringLiteral("b"), -1);
  list.Add(QStringLiteral("a"), 1);
  list.Add(QStringLiteral("c"), 3);
  QCOMPARE(Items(list), (QStringList{"a", "b", "c"}));
  for (int bad : {0, 4, -2}) {
    try {
      list.Item(bad);
      QFAIL("Item outside the list returned");
    } catch (const ProgramError& error) {
      QCOMPARE(error.Number(), kErrSubscriptOutOfRange);
    }
  }
  QVERIFY_THROWS_EXCEPTION(ProgramError, list.Add(QStringLiteral("x"), 5));
  QCOMPARE(list.Count(), 3);
}

QTEST_GUILESS_MAIN(tst_StringList)
#include "tst_stringlist.moc"
