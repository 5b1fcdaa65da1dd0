#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "support/TestSupport.h"

namespace {

QStringList Entries(const ZVRImageList& list) { return {list.begin(), list.end()}; }

// The number of the error the call raised, 0 when it raised none.
template <typename Call>
qint32 ErrorOf(Call call) {
  try {
    call();
  } catch (const ProgramError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace

class tst_ZVRImageList : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void members_data();
  void members();
  void selectionCommandsMatchEntryByEntry();
  void addingManyKeepsWhatAddingEachKeeps();
  void nextStoredFileName_data();
  void nextStoredFileName();

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
  QTest::addColumn<QStringList>("start");  // names added; "missing" names no file
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
  row("add skips missing files; remove takes the first", {"A", "B", "missing", "A"}, "remove", "A",
      {}, {"B", "A"});
  row("remove of a name not listed", abc, "remove", "D", {}, none, out);
  row("index of a duplicate is its first", {"B", "A", "A"}, "index", "A", {}, {"2"});
  row("index: case counts", {"lower.bmp"}, "index", "LOWER.BMP", {}, none, bad);
  row("name at the last position", abc, "name", "", {3}, {"C"});
  row("name at 0", abc, "name", "", {0}, none, out);
  row("name past the end", abc, "name", "", {4}, none, out);
  row("next at the last without wrapping", abc, "next", "C", {0}, none, bad);
  row("next without wrapping", abc, "next", "A", {0}, {"B"});
  row("prev without wrapping", abc, "prev", "C", {0}, {"B"});
  row("prev wraps", abc, "prev", "A", {1}, {"C"});
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
  QStringList got;
  const qint32 raised = ErrorOf([&] {
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

void tst_ZVRImageList::nextStoredFileName_data() {
  QTest::addColumn<QStringList>("stored");
  QTest::addColumn<QString>("last");
  QTest::addColumn<QString>("next");  // empty: "Invalid Parameter"
  const auto row = [](const char* name, const QStringList& stored, const char* last,
                      const char* next) {
    QTest::newRow(name) << stored << QString(last) << QString(next);
  };
  const QStringList abc{"A", "B", "C"};
  row("the last entry wraps to the first", abc, "C", "A");
  row("every file after it missing: wraps past missing ones", {"X", "B", "A", "X", "Y"}, "A", "B");
  row("only the last exists: itself", {"X", "A", "Y"}, "A", "A");
  row("the duplicate right after", {"A", "X", "A", "B"}, "A", "A");
  row("the last's file missing, a later duplicate too", {"A", "X", "B", "X", "C"}, "X", "");
  row("another case is another name", {"LOWER.BMP", "B", "lower.bmp", "C"}, "lower.bmp", "C");
  row("quotes and separators in names", {"A", "a b; \"c\".bmp", "B"}, "a b; \"c\".bmp", "B");
}

// Against the expected name and against the list that loading would build,
// which its own text builds again.
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
  ZVRImageList loaded, again;
  loaded.FileNames(&writer);
  // The list's own text reads back into the same list.
  StringList back = reader;
  back.SetText(loaded.FileNames()->Text());
  again.FileNames(&back);
  QCOMPARE(Entries(again), Entries(loaded));
  const QString expected = next.isEmpty() ? QString() : Path(next);
  // As written, and without quotes as a hand-edited file may hold it.
  QStringList texts{writer.Text()};
  if (!paths.join(QString()).contains('"')) texts.append(paths.join("; "));
  for (const QString& text : texts) {
    QString got, walked;
    QCOMPARE(ErrorOf([&] { got = ZVRImageList::NextStoredFileName(reader, text, Path(last)); }),
             next.isEmpty() ? modMain::kErrInvalidParameter : 0);
    QCOMPARE(ErrorOf([&] { walked = loaded.NextFileName(Path(last), true); }),
             next.isEmpty() ? modMain::kErrInvalidParameter : 0);
    QCOMPARE(got, expected);
    QCOMPARE(walked, expected);
  }
}

QTEST_GUILESS_MAIN(tst_ZVRImageList)
#include "tst_zvrimagelist.moc"
