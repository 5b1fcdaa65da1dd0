#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "support/TestSupport.h"

static QStringList Entries(const ZVRImageList& list) { return {list.begin(), list.end()}; }

class tst_ZVRImageList : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString Path(const QString& name) const { return dir_.filePath(name); }
  ZVRImageList ListOf(const QStringList& names) const {
    ZVRImageList list;
    for (const QString& name : names) list.Add(Path(name));
    return list;
  }

 private slots:
  void initTestCase() {
    for (const char* name : {"A", "B", "C", "D", "a; \"b\"", "low"}) {
      MakeFile(dir_.path(), name);
    }
  }

  // Each member on small lists: the name it returns, or the list after it;
  // an error leaves the list as it was. "X" and "Y" have no file; "stored"
  // reads the stored list's text, missing files included, before any list
  // is loaded; for next and prev an "at" of 1 wraps.
  void members() {
    const int bad = modMain::kErrInvalidParameter, out = kErrSubscriptOutOfRange;
    const QStringList abc{"A", "B", "C"}, none;
    const std::tuple<const char*, QStringList, QString, QString, QList<int>, QStringList, int>
        rows[] = {
            {"remove of a name not listed", abc, "remove", "D", {}, none, out},
            {"index: case counts", {"low"}, "index", "LOW", {}, none, bad},
            {"name at 0", abc, "name", "", {0}, none, out},
            {"name past the end", abc, "name", "", {4}, none, out},
            {"next at the last without wrapping", abc, "next", "C", {0}, none, bad},
            {"next without wrapping", abc, "next", "A", {0}, {"B"}, 0},
            {"next wraps", abc, "next", "C", {1}, {"A"}, 0},
            {"prev without wrapping", abc, "prev", "C", {0}, {"B"}, 0},
            {"prev at the first without wrapping", abc, "prev", "A", {0}, none, bad},
            {"prev of a name not listed", abc, "prev", "D", {0}, none, bad},
            {"prev from a duplicate's first", {"A", "B", "A", "C"}, "prev", "A", {1}, {"C"}, 0},
            {"up of a name not listed", abc, "up", "D", {}, none, bad},
            {"down of a name not listed", abc, "down", "D", {}, none, bad},
            {"move first to the end", abc, "move", "A", {3}, {"B", "C", "A"}, 0},
            {"move last to the front", abc, "move", "C", {1}, {"C", "A", "B"}, 0},
            {"move past the end", abc, "move", "A", {4}, none, bad},
            {"move to 0", abc, "move", "A", {0}, none, bad},
            {"move of a name not listed", abc, "move", "D", {1}, none, out},
            {"remove selected past the end", abc, "remove selected", "", {1, 4}, none, out},
            {"move selected up from 0", abc, "up selected", "", {0, 2}, none, out},
            {"stored: wraps", {"X", "B", "A", "X", "Y"}, "stored", "A", {}, {"B"}, 0},
            {"stored: only the last exists", {"X", "A", "Y"}, "stored", "A", {}, {"A"}, 0},
            {"stored: duplicate next", {"A", "X", "A", "B"}, "stored", "A", {}, {"A"}, 0},
            {"stored: last missing", {"A", "X", "B", "X", "C"}, "stored", "X", {}, none, bad},
            {"stored: quoted", {"A", "a; \"b\"", "B"}, "stored", "a; \"b\"", {}, {"B"}, 0},
            {"stored: case", {"LOW", "B", "low", "C"}, "stored", "low", {}, {"C"}, 0},
        };
    for (const auto& [tag, start, call, name, at, result, error] : rows) {
      ZVRImageList list = ListOf(start);
      const QString path = Path(name);
      const int first = at.value(0);
      // Written and read back as the window stores its list.
      const std::unique_ptr<StringList> stored = ZVRImageList().FileNames();
      for (const QString& entry : start) stored->Add(Path(entry), -1);
      QStringList got;
      const qint32 raised = ErrorOf([&] {
        if (call == "stored")
          got = {ZVRImageList::NextStoredFileName(
              [&](const auto& visit) { stored->ForEachItem(stored->Text(), visit); }, path)};
        if (call == "next") got = {list.NextFileName(path, first == 1)};
        if (call == "prev") got = {list.PrevFileName(path, first == 1)};
        if (call == "index") got = {QString::number(list.IndexFromContent(path))};
        if (call == "name") got = {list.FileName(first)};
        if (call == "remove") list.Remove(path);
        if (call == "up") list.MoveUp(path);
        if (call == "down") list.MoveDown(path);
        if (call == "move") list.Move(path, first);
        if (call == "remove selected") list.RemoveSelected(at);
        if (call == "up selected") list.MoveSelectedUp(at);
        if (got.isEmpty()) got = Entries(list);
      });
      if (raised != 0 && Entries(list) != Entries(ListOf(start))) got = Entries(list);
      QCOMPARE(QStringList{tag} << QString::number(raised)
                                << got.replaceInStrings(dir_.path() + '/', ""),
               QStringList{tag} << QString::number(error) << result);
    }
  }

  // The selection members against the entry-by-entry calls the window made
  // before them: for each selected entry's name, Remove of it, MoveUp of it
  // from the top, MoveDown of it from the bottom.
  void selectionCommandsMatchEntryByEntry() {
    for (const auto& [names, longest] : {std::pair{2, 6}, {4, 12}, {30, 40}}) {
      for (int i = 0; i < names; ++i) MakeFile(dir_.path(), QString::number(i));
      QRandomGenerator random(20261207 + names);
      for (int round = 0; round < 1500; ++round) {
        QStringList start;
        for (int i = random.bounded(1, longest + 1); i > 0; --i)
          start.append(QString::number(random.bounded(names)));
        ZVRImageList removed = ListOf(start), up = removed, down = removed;
        ZVRImageList byRemove = removed, byUp = removed, byDown = removed;
        QList<int> positions;  // ascending, from none to all
        const int oneIn = 1 + random.bounded(4);
        for (int position = 1; position <= start.size(); ++position) {
          if (random.bounded(oneIn) == 0 && round % 50 != 0) positions.append(position);
        }
        removed.RemoveSelected(positions);
        up.MoveSelectedUp(positions);
        down.MoveSelectedDown(positions);
        for (const int position : positions) {
          byRemove.Remove(Path(start[position - 1]));
          byUp.MoveUp(Path(start[position - 1]));
        }
        for (auto p = positions.crbegin(); p != positions.crend(); ++p)
          byDown.MoveDown(Path(start[*p - 1]));
        QCOMPARE((QList<QStringList>{Entries(removed), Entries(up), Entries(down)}),
                 (QList<QStringList>{Entries(byRemove), Entries(byUp), Entries(byDown)}));
      }
    }
  }

  // A long list added at once has its files looked up by several threads,
  // in each folder while names of it follow each other: a name of another
  // folder (sub/B after A, B after sub/B) is looked up in its own.
  void addingManyKeepsWhatAddingEachKeeps() {
    QVERIFY(QDir(dir_.path()).mkpath("sub"));
    MakeFile(dir_.path(), "sub/A");
    QVERIFY(QFile::link(Path("A"), Path("link")) && QFile::link(Path("sub"), Path("sublink")));
    QVERIFY(QDir::setCurrent(dir_.path()));
    QStringList kinds;
    for (const QString& name :
         QString("A sub/A sub/B B sub link sublink sublink/A none/A A/").split(' '))
      kinds << Path(name);
    kinds.append({"C", "", QString("D") + QChar(0), "/"});
    QStringList names;
    for (int i = 0; i < 30011; ++i) names.append(kinds[i % kinds.size()]);
    ZVRImageList all, each;
    all.Add(names);
    for (const QString& name : names) each.Add(name);
    QCOMPARE(Entries(all), Entries(each));
  }
};

QTEST_GUILESS_MAIN(tst_ZVRImageList)
#include "tst_zvrimagelist.moc"
