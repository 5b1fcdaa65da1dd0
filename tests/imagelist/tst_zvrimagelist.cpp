#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "support/TestSupport.h"

namespace {

QStringList Entries(const ZVRImageList& list) { return {list.begin(), list.end()}; }

}  // namespace

class tst_ZVRImageList : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void members_data();
  void members();
  void selectionCommandsMatchEntryByEntry();
  void addingManyKeepsWhatAddingEachKeeps();

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

void tst_ZVRImageList::members_data() {
  QTest::addColumn<QStringList>("start");  // names added or stored; "missing", "X", "Y": no file
  QTest::addColumn<QString>("call");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QList<int>>("at");       // position(s); for next/prev 1 wraps
  QTest::addColumn<QStringList>("result");  // the name returned, or the list after
  QTest::addColumn<int>("error");           // the list must stay as it was
  const int bad = modMain::kErrInvalidParameter, out = kErrSubscriptOutOfRange;
  const auto row = [](const char* tag, const QStringList& start, const char* call, const char* name,
                      const QList<int>& at, const QStringList& result, int error = 0) {
    QTest::newRow(tag) << start << QString(call) << QString(name) << at << result << error;
  };
  const QStringList abc{"A", "B", "C"}, none;
  row("remove of a name not listed", abc, "remove", "D", {}, none, out);
  row("index: case counts", {"lower.bmp"}, "index", "LOWER.BMP", {}, none, bad);
  row("name at 0", abc, "name", "", {0}, none, out);
  row("name past the end", abc, "name", "", {4}, none, out);
  row("next at the last without wrapping", abc, "next", "C", {0}, none, bad);
  row("next without wrapping", abc, "next", "A", {0}, {"B"});
  row("next wraps", abc, "next", "C", {1}, {"A"});
  row("prev without wrapping", abc, "prev", "C", {0}, {"B"});
  row("prev at the first without wrapping", abc, "prev", "A", {0}, none, bad);
  row("prev of a name not listed", abc, "prev", "D", {0}, none, bad);
  row("prev steps from a duplicate's first", {"A", "B", "A", "C"}, "prev", "A", {1}, {"C"});
  row("up of a name not listed", abc, "up", "D", {}, none, bad);
  row("down of a name not listed", abc, "down", "D", {}, none, bad);
  row("move first to the end", abc, "move", "A", {3}, {"B", "C", "A"});
  row("move last to the front", abc, "move", "C", {1}, {"C", "A", "B"});
  row("move past the end", abc, "move", "A", {4}, none, bad);
  row("move to 0", abc, "move", "A", {0}, none, bad);
  row("move of a name not listed", abc, "move", "D", {1}, none, out);
  row("remove selected past the end", abc, "remove selected", "", {1, 4}, none, out);
  row("move selected up from 0", abc, "up selected", "", {0, 2}, none, out);
  // The next existing file after the stored last one, read from the stored
  // list's text, missing files included, before any list is loaded.
  row("stored: wraps past missing ones", {"X", "B", "A", "X", "Y"}, "stored", "A", {}, {"B"});
  row("stored: only the last exists", {"X", "A", "Y"}, "stored", "A", {}, {"A"});
  row("stored: the duplicate right after", {"A", "X", "A", "B"}, "stored", "A", {}, {"A"});
  row("stored: the last's file missing", {"A", "X", "B", "X", "C"}, "stored", "X", {}, none, bad);
  row("stored: quotes and separators", {"A", "a b; \"c\".bmp", "B"}, "stored", "a b; \"c\".bmp", {},
      {"B"});
  row("stored: case counts", {"LOWER.BMP", "B", "lower.bmp", "C"}, "stored", "lower.bmp", {},
      {"C"});
}

void tst_ZVRImageList::members() {
  QFETCH(QStringList, start);
  QFETCH(QString, call);
  QFETCH(QString, name);
  QFETCH(QList<int>, at);
  QFETCH(QStringList, result);
  QFETCH(int, error);
  ZVRImageList list = ListOf(start);
  const QStringList before = Entries(list);
  const QString path = Path(name);
  const int first = at.value(0);
  StringList reader;
  reader.SetSeparator(QStringLiteral("; "));
  const std::unique_ptr<StringList> stored = ZVRImageList().FileNames();  // as the window stores
  for (const QString& entry : start) stored->Add(Path(entry), -1);
  QStringList got;
  const qint32 raised = ErrorOf([&] {
    if (call == "stored") {
      got = QStringList{ZVRImageList::NextStoredFileName(reader, stored->Text(), path)};
    }
    if (call == "next") got = QStringList{list.NextFileName(path, first == 1)};
    if (call == "prev") got = QStringList{list.PrevFileName(path, first == 1)};
    if (call == "index") got = QStringList{QString::number(list.IndexFromContent(path))};
    if (call == "name") got = QStringList{list.FileName(first)};
    if (call == "remove") list.Remove(path);
    if (call == "up") list.MoveUp(path);
    if (call == "down") list.MoveDown(path);
    if (call == "move") list.Move(path, first);
    if (call == "remove selected") list.RemoveSelected(at);
    if (call == "up selected") list.MoveSelectedUp(at);
    if (got.isEmpty()) got = Entries(list);
  });
  QCOMPARE(raised, error);
  if (error != 0) {
    QCOMPARE(Entries(list), before);
  } else {
    QCOMPARE(got.replaceInStrings(dir_.path() + '/', QString()), result);
  }
}

// The selection members against the entry-by-entry calls the window made
// before them: for each selected entry's name, Remove of it, MoveUp of it
// from the top, MoveDown of it from the bottom.
void tst_ZVRImageList::selectionCommandsMatchEntryByEntry() {
  for (const auto& [names, longest] : {std::pair{2, 6}, {4, 12}, {30, 40}}) {
    for (int i = 0; i < names; ++i) MakeFile(dir_.path(), QString::number(i));
    QRandomGenerator random(20261207 + names);
    for (int round = 0; round < 1500; ++round) {
      QStringList start;
      const int length = 1 + random.bounded(longest);
      for (int i = 0; i < length; ++i) start.append(QString::number(random.bounded(names)));
      ZVRImageList list = ListOf(start), removed = list, up = list, down = list;
      QList<int> positions;  // from none to all
      QStringList selected;
      const int oneIn = 1 + random.bounded(4);
      for (int position = 1; position <= length; ++position) {
        if (random.bounded(oneIn) != 0 || round % 50 == 0) continue;
        positions.append(position);
        selected.append(list.FileName(position));
      }
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
}

// A long list added at once has its files looked up by several threads.
void tst_ZVRImageList::addingManyKeepsWhatAddingEachKeeps() {
  QStringList names;
  for (int i = 0; i < 30011; ++i)
    names.append(Path(i % 7 == 3 ? QString("missing") : QString("ABCD")[i % 4]));
  ZVRImageList all, each;
  all.Add(names);
  for (const QString& name : names) each.Add(name);
  QCOMPARE(Entries(all), Entries(each));
}

QTEST_GUILESS_MAIN(tst_ZVRImageList)
#include "tst_zvrimagelist.moc"
