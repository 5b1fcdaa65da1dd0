#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "support/TestSupport.h"

namespace {

QStringList Entries(const ZVRImageList& list) {
  QStringList entries;
  for (const QString& entry : list) entries.append(entry);
  return entries;
}

// Runs the call, which must fail with the given number and leave the list
// as it was.
template <typename Call>
bool FailsUnchanged(ZVRImageList& list, qint32 number, Call call) {
  const QStringList before = Entries(list);
  try {
    call();
  } catch (const ProgramError& error) {
    if (error.Number() != number) qWarning() << "unexpected error" << error.Number();
    return error.Number() == number && Entries(list) == before;
  }
  qWarning() << "call did not fail";
  return false;
}

}  // namespace

class tst_ZVRImageList : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void addKeepsOnlyExistingFilesAndDuplicates();
  void steppingAndWrapping();
  void namesAreComparedExactly();
  void movingUpAndDown_data();
  void movingUpAndDown();
  void moveToPosition_data();
  void moveToPosition();
  void failuresLeaveTheListUnchanged();
  void fileNamesReadAndAssignedBack();

 private:
  QString Path(const QString& name) const { return dir_.filePath(name); }
  ZVRImageList ListOf(const QStringList& names) const;

  QTemporaryDir dir_;
};

void tst_ZVRImageList::initTestCase() {
  for (const char* name : {"A", "B", "C", "D", "a b; \"c\".bmp"}) MakeFile(dir_.path(), name);
}

ZVRImageList tst_ZVRImageList::ListOf(const QStringList& names) const {
  ZVRImageList list;
  for (const QString& name : names) list.Add(Path(name));
  return list;
}

void tst_ZVRImageList::addKeepsOnlyExistingFilesAndDuplicates() {
  QCOMPARE(mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
  QDir(dir_.path()).mkdir("folder");
  ZVRImageList list;
  for (const char* name : {"A", "missing", "A", "fifo", "folder", "a b; \"c\".bmp"}) {
    list.Add(Path(name));
  }
  list.Add(QString());
  QCOMPARE(Entries(list), (QStringList{Path("A"), Path("A"), Path("a b; \"c\".bmp")}));
  QCOMPARE(list.Count(), 3);
  QCOMPARE(list.FileName(3), Path("a b; \"c\".bmp"));
  QCOMPARE(list.IndexFromContent(Path("A")), 1);
  list.Remove(Path("A"));
  QCOMPARE(Entries(list), (QStringList{Path("A"), Path("a b; \"c\".bmp")}));
  list.Clear();
  list.Clear();
  QCOMPARE(list.Count(), 0);
}

void tst_ZVRImageList::steppingAndWrapping() {
  const ZVRImageList abc = ListOf({"A", "B", "C"});
  QCOMPARE(abc.NextFileName(Path("C"), true), Path("A"));
  QCOMPARE(abc.PrevFileName(Path("A"), true), Path("C"));
  for (bool rotate : {true, false}) {
    QCOMPARE(abc.NextFileName(Path("A"), rotate), Path("B"));
    QCOMPARE(abc.PrevFileName(Path("C"), rotate), Path("B"));
  }
  const ZVRImageList one = ListOf({"A"});
  QCOMPARE(one.NextFileName(Path("A"), true), Path("A"));
  QCOMPARE(one.PrevFileName(Path("A"), true), Path("A"));
  // A duplicate is always stepped from its first occurrence, so C is never
  // reached from A.
  const ZVRImageList abac = ListOf({"A", "B", "A", "C"});
  QCOMPARE(abac.NextFileName(Path("A"), true), Path("B"));
  QCOMPARE(abac.NextFileName(Path("B"), true), Path("A"));
  QCOMPARE(abac.PrevFileName(Path("A"), true), Path("C"));
}

void tst_ZVRImageList::namesAreComparedExactly() {
  MakeFile(dir_.path(), "lower.bmp");
  ZVRImageList list;
  list.Add(Path("lower.bmp"));
  const QString upper = dir_.path() + "/LOWER.BMP";
  QVERIFY(FailsUnchanged(list, modMain::kErrInvalidParameter,
                         [&] { list.IndexFromContent(upper); }));
  QVERIFY(FailsUnchanged(list, modMain::kErrInvalidParameter,
                         [&] { list.NextFileName(upper, true); }));
  QVERIFY(FailsUnchanged(list, modMain::kErrInvalidParameter,
                         [&] { list.IndexFromContent(Path("lower.bmp") + " "); }));
  QCOMPARE(list.IndexFromContent(Path("lower.bmp")), 1);
}

void tst_ZVRImageList::movingUpAndDown_data() {
  QTest::addColumn<QStringList>("start");
  QTest::addColumn<bool>("up");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QStringList>("result");
  const QStringList abc{"A", "B", "C"};
  QTest::newRow("first up wraps to the end") << abc << true << "A" << QStringList{"B", "C", "A"};
  QTest::newRow("second up") << abc << true << "B" << QStringList{"B", "A", "C"};
  QTest::newRow("last up") << abc << true << "C" << QStringList{"A", "C", "B"};
  QTest::newRow("first down") << abc << false << "A" << QStringList{"B", "A", "C"};
  QTest::newRow("second down") << abc << false << "B" << QStringList{"A", "C", "B"};
  QTest::newRow("last down wraps to the front") << abc << false << "C"
                                                << QStringList{"C", "A", "B"};
  QTest::newRow("single up") << QStringList{"A"} << true << "A" << QStringList{"A"};
  QTest::newRow("single down") << QStringList{"A"} << false << "A" << QStringList{"A"};
  QTest::newRow("duplicate down moves the first")
      << QStringList{"A", "B", "A"} << false << "A" << QStringList{"B", "A", "A"};
  QTest::newRow("duplicate up moves the first")
      << QStringList{"A", "B", "A"} << true << "A" << QStringList{"B", "A", "A"};
}

void tst_ZVRImageList::movingUpAndDown() {
  QFETCH(QStringList, start);
  QFETCH(bool, up);
  QFETCH(QString, name);
  QFETCH(QStringList, result);
  ZVRImageList list = ListOf(start);
  if (up) {
    list.MoveUp(Path(name));
  } else {
    list.MoveDown(Path(name));
  }
  QCOMPARE(Entries(list), Entries(ListOf(result)));
}

void tst_ZVRImageList::moveToPosition_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("index");
  QTest::addColumn<QStringList>("result");
  QTest::newRow("first to the end") << "A" << 3 << QStringList{"B", "C", "A"};
  QTest::newRow("last to the front") << "C" << 1 << QStringList{"C", "A", "B"};
  QTest::newRow("in place") << "B" << 2 << QStringList{"A", "B", "C"};
  QTest::newRow("first to the middle") << "A" << 2 << QStringList{"B", "A", "C"};
}

void tst_ZVRImageList::moveToPosition() {
  QFETCH(QString, name);
  QFETCH(int, index);
  QFETCH(QStringList, result);
  ZVRImageList list = ListOf({"A", "B", "C"});
  list.Move(Path(name), index);
  QCOMPARE(Entries(list), Entries(ListOf(result)));
  QCOMPARE(list.FileName(index), Path(name));
}

void tst_ZVRImageList::failuresLeaveTheListUnchanged() {
  using modMain::kErrInvalidParameter;
  ZVRImageList list = ListOf({"A", "B", "C"});
  const QString missing = Path("D-not-listed");
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.NextFileName(Path("C"), false); }));
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.PrevFileName(Path("A"), false); }));
  for (bool rotate : {true, false}) {
    QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.NextFileName(missing, rotate); }));
    QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.PrevFileName(missing, rotate); }));
  }
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.MoveUp(missing); }));
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.MoveDown(missing); }));
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.Move(Path("A"), 4); }));
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.Move(Path("A"), 0); }));
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.Move(Path("A"), -1); }));
  QVERIFY(FailsUnchanged(list, kErrSubscriptOutOfRange, [&] { list.Move(missing, 1); }));
  QVERIFY(FailsUnchanged(list, kErrSubscriptOutOfRange, [&] { list.Remove(missing); }));
  QVERIFY(FailsUnchanged(list, kErrSubscriptOutOfRange, [&] { list.FileName(0); }));
  QVERIFY(FailsUnchanged(list, kErrSubscriptOutOfRange, [&] { list.FileName(4); }));

  ZVRImageList empty;
  QVERIFY(FailsUnchanged(empty, kErrInvalidParameter, [&] { empty.NextFileName(QString(), true); }));
  QVERIFY(FailsUnchanged(empty, kErrInvalidParameter, [&] { empty.PrevFileName(QString(), true); }));
  QVERIFY(FailsUnchanged(empty, kErrInvalidParameter, [&] { empty.MoveUp(QString()); }));
  QVERIFY(FailsUnchanged(empty, kErrSubscriptOutOfRange, [&] { empty.FileName(1); }));
}

void tst_ZVRImageList::fileNamesReadAndAssignedBack() {
  ZVRImageList list = ListOf({"A", "a b; \"c\".bmp", "A", "B"});
  std::unique_ptr<StringList> names = list.FileNames();
  QCOMPARE(names->Separator(), QStringLiteral("; "));
  QCOMPARE(names->QuoteBegin(), QStringLiteral("\""));
  QCOMPARE(names->QuoteEnd(), QStringLiteral("\""));
  QCOMPARE(names->Count(), 4);

  // The text survives a split by a list configured the same way.
  StringList reader;
  reader.SetSeparator(QStringLiteral("; "));
  reader.SetText(names->Text());
  ZVRImageList copy;
  copy.FileNames(&reader);
  QCOMPARE(Entries(copy), Entries(list));

  // Assigning back drops entries whose files went away since.
  QVERIFY(QFile::remove(Path("B")));
  list.FileNames(names.get());
  QCOMPARE(Entries(list), Entries(ListOf({"A", "a b; \"c\".bmp", "A"})));
  QCOMPARE(names->Count(), 4);
  MakeFile(dir_.path(), "B");

  list.FileNames(nullptr);
  QCOMPARE(list.Count(), 0);
  QCOMPARE(ZVRImageList().FileNames()->Count(), 0);
  QCOMPARE(ZVRImageList().FileNames()->Text(), QString());
}

QTEST_GUILESS_MAIN(tst_ZVRImageList)
#include "tst_zvrimagelist.moc"
