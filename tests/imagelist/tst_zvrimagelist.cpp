#include <QRandomGenerator>
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
  void selectionCommandsMatchEntryByEntry_data();
  void selectionCommandsMatchEntryByEntry();
  void nextStoredFileName_data();
  void nextStoredFileName();
  void failuresLeaveTheListUnchanged();
  void fileNamesReadAndAssignedBack();

 private:
  QString Path(const QString& name) const { return dir_.filePath(name); }
  ZVRImageList ListOf(const QStringList& names) const;

  QTemporaryDir dir_;
};

void tst_ZVRImageList::initTestCase() {
  for (const char* name : {"A", "B", "C", "D", "a b; \"c\".bmp", "lower.bmp"}) {
    MakeFile(dir_.path(), name);
  }
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
  // Stepping forward with wrapping is checked in nextStoredFileName too.
  const ZVRImageList abc = ListOf({"A", "B", "C"});
  QCOMPARE(abc.PrevFileName(Path("A"), true), Path("C"));
  for (bool rotate : {true, false}) {
    QCOMPARE(abc.NextFileName(Path("A"), rotate), Path("B"));
    QCOMPARE(abc.PrevFileName(Path("C"), rotate), Path("B"));
  }
  const ZVRImageList one = ListOf({"A"});
  QCOMPARE(one.PrevFileName(Path("A"), true), Path("A"));
  // A duplicate is always stepped from its first occurrence.
  QCOMPARE(ListOf({"A", "B", "A", "C"}).PrevFileName(Path("A"), true), Path("C"));
}

void tst_ZVRImageList::namesAreComparedExactly() {
  ZVRImageList list;
  list.Add(Path("lower.bmp"));
  const QString upper = dir_.path() + "/LOWER.BMP";
  QVERIFY(
      FailsUnchanged(list, modMain::kErrInvalidParameter, [&] { list.IndexFromContent(upper); }));
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
  QTest::newRow("last down wraps to the front")
      << abc << false << "C" << QStringList{"C", "A", "B"};
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

void tst_ZVRImageList::selectionCommandsMatchEntryByEntry_data() {
  QTest::addColumn<int>("names");
  QTest::addColumn<int>("longest");
  QTest::newRow("short lists, mostly duplicates") << 2 << 6;
  QTest::newRow("lists with some duplicates") << 4 << 12;
  QTest::newRow("long lists, few duplicates") << 30 << 40;
}

// The selection members against what the window did before them: for each
// selected entry's name, Remove of it, MoveUp of it from the top, MoveDown
// of it from the bottom.
void tst_ZVRImageList::selectionCommandsMatchEntryByEntry() {
  QFETCH(int, names);
  QFETCH(int, longest);
  for (int i = 0; i < names; ++i) MakeFile(dir_.path(), QString::number(i));
  QRandomGenerator random(20261207 + names);
  for (int round = 0; round < 1500; ++round) {
    QStringList start;
    const int length = 1 + random.bounded(longest);
    for (int i = 0; i < length; ++i) start.append(QString::number(random.bounded(names)));
    ZVRImageList list = ListOf(start);
    QList<int> positions;  // from none to all
    const int oneIn = 1 + random.bounded(4);
    for (int position = 1; position <= length; ++position) {
      if (random.bounded(oneIn) == 0 && round % 50 != 0) positions.append(position);
    }
    QStringList selected;
    for (int position : positions) selected.append(list.FileName(position));
    ZVRImageList removed = list, up = list, down = list;
    removed.RemoveSelected(positions);
    up.MoveSelectedUp(positions);
    down.MoveSelectedDown(positions);
    for (const QString& name : selected) list.Remove(name);
    QCOMPARE(Entries(removed), Entries(list));
    list = ListOf(start);
    for (const QString& name : selected) list.MoveUp(name);
    QCOMPARE(Entries(up), Entries(list));
    list = ListOf(start);
    for (auto name = selected.crbegin(); name != selected.crend(); ++name) list.MoveDown(*name);
    QCOMPARE(Entries(down), Entries(list));
  }
}

void tst_ZVRImageList::nextStoredFileName_data() {
  QTest::addColumn<QStringList>("stored");
  QTest::addColumn<QString>("last");
  QTest::addColumn<QString>("next");  // empty: "Invalid Parameter"
  const auto row = [](const char* name, const QStringList& stored, const char* last,
                      const char* next) {
    QTest::newRow(name) << stored << QString(last) << QString(next);
  };
  const QStringList abc{"A", "B", "C"};
  row("the next entry", abc, "A", "B");
  row("the last entry wraps to the first", abc, "C", "A");
  row("missing before the last", {"X", "A", "B"}, "A", "B");
  row("missing after the last is stepped over", {"A", "X", "Y", "B"}, "A", "B");
  row("every file after it missing: wraps past missing ones", {"X", "B", "A", "X", "Y"}, "A", "B");
  row("only the last exists: itself", {"X", "A", "Y"}, "A", "A");
  row("a duplicate steps from its first entry", {"A", "B", "A", "C"}, "A", "B");
  row("back to the duplicate, C is never reached", {"A", "B", "A", "C"}, "B", "A");
  row("the duplicate right after", {"A", "X", "A", "B"}, "A", "A");
  row("the last's file missing, a later duplicate too", {"A", "X", "B", "X", "C"}, "X", "");
  row("another case is another name", {"LOWER.BMP", "B", "lower.bmp", "C"}, "lower.bmp", "C");
  row("not in the list", abc, "D", "");
  row("no last wallpaper", abc, "", "");
  row("empty list", {}, "A", "");
  row("quotes and separators in names", {"A", "a b; \"c\".bmp", "B"}, "a b; \"c\".bmp", "B");
}

// Against the expected name and against the list that loading would build.
void tst_ZVRImageList::nextStoredFileName() {
  QFETCH(QStringList, stored);
  QFETCH(QString, last);
  QFETCH(QString, next);
  StringList reader;
  reader.SetSeparator(QStringLiteral("; "));
  StringList writer = reader;
  QStringList paths;
  for (const QString& name : stored) paths.append(Path(name));
  for (const QString& path : paths) writer.Add(path);
  ZVRImageList loaded;
  loaded.FileNames(&writer);
  const QString lastPath = last.isEmpty() ? QString() : Path(last);
  // As written, and without quotes as a hand-edited file may hold it.
  QStringList texts{writer.Text()};
  if (!paths.join(QString()).contains('"')) texts.append(paths.join("; "));
  for (const QString& text : texts) {
    if (next.isEmpty()) {
      QVERIFY(FailsUnchanged(loaded, modMain::kErrInvalidParameter,
                             [&] { ZVRImageList::NextStoredFileName(reader, text, lastPath); }));
      QVERIFY(FailsUnchanged(loaded, modMain::kErrInvalidParameter,
                             [&] { loaded.NextFileName(lastPath, true); }));
    } else {
      QCOMPARE(ZVRImageList::NextStoredFileName(reader, text, lastPath), Path(next));
      QCOMPARE(loaded.NextFileName(lastPath, true), Path(next));
    }
  }
}

void tst_ZVRImageList::failuresLeaveTheListUnchanged() {
  using modMain::kErrInvalidParameter;
  ZVRImageList list = ListOf({"A", "B", "C"});
  const QString missing = Path("D-not-listed");
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.NextFileName(Path("C"), false); }));
  QVERIFY(FailsUnchanged(list, kErrInvalidParameter, [&] { list.PrevFileName(Path("A"), false); }));
  for (bool rotate : {true, false}) {
    QVERIFY(
        FailsUnchanged(list, kErrInvalidParameter, [&] { list.NextFileName(missing, rotate); }));
    QVERIFY(
        FailsUnchanged(list, kErrInvalidParameter, [&] { list.PrevFileName(missing, rotate); }));
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
  QVERIFY(FailsUnchanged(list, kErrSubscriptOutOfRange, [&] { list.RemoveSelected({1, 4}); }));
  QVERIFY(FailsUnchanged(list, kErrSubscriptOutOfRange, [&] { list.MoveSelectedUp({0, 2}); }));
  QVERIFY(FailsUnchanged(list, kErrSubscriptOutOfRange, [&] { list.MoveSelectedDown({2, 4}); }));

  ZVRImageList empty;
  QVERIFY(
      FailsUnchanged(empty, kErrInvalidParameter, [&] { empty.PrevFileName(QString(), true); }));
  QVERIFY(FailsUnchanged(empty, kErrInvalidParameter, [&] { empty.MoveUp(QString()); }));
  QVERIFY(FailsUnchanged(empty, kErrSubscriptOutOfRange, [&] { empty.FileName(1); }));
}

void tst_ZVRImageList::fileNamesReadAndAssignedBack() {
  ZVRImageList list = ListOf({"A", "a b; \"c\".bmp", "A", "B"});
  std::unique_ptr<StringList> names = list.FileNames();

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
