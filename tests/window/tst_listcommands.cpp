#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QtTest>

#include <deque>

#include "imagelist/ZVRImageList.h"
#include "kit/FileDialog.h"
#include "startup/modMain.h"
#include "support/TestSupport.h"
#include "window/frmMain.h"

namespace {

// Answers the open-file dialogs in turn and keeps the folders they opened in.
class DialogAnswers {
 public:
  DialogAnswers() {
    FileDialog::SetAnswerer([this](const QFileDialog& dialog) {
      startFolders.append(dialog.directory().absolutePath());
      if (answers.empty()) qFatal("a dialog nobody answers");
      const FileDialog::Answer answer = answers.front();
      answers.pop_front();
      return answer;
    });
  }
  ~DialogAnswers() { FileDialog::SetAnswerer({}); }
  std::deque<FileDialog::Answer> answers;
  QStringList startFolders;
};

}  // namespace

class tst_ListCommands : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void enterAddsTheTypedFileEachTime();
  void patternAddsMatchingPlainFiles_data();
  void patternAddsMatchingPlainFiles();
  void relativeNamesAndPatternsAreStoredAbsolute();
  void noValidFile_data();
  void noValidFile();
  void movesAndRemovalsKeepTheCurrentEntry_data();
  void movesAndRemovalsKeepTheCurrentEntry();
  void deleteKeyRemovesAndDropAddsFilesAndFolders();
  void doubleClickOrMenuSetsTheWallpaper();
  void dialogAddsChosenFilesAndRemembersTheFolder();
  void dialogInTheRootFolder();
  void dialogWhoseFilesAllVanishedKeepsTheText();

 private:
  QString Path(const QString& name) const { return dir_.filePath(name); }
  // Fills the shared list with the files and shows the window.
  void Open(const QStringList& names);
  template <typename T = QWidget>
  T* Control(const char* name) const {
    T* control = window_->findChild<T*>(QLatin1String(name));
    if (!control) qFatal("no control %s", name);
    return control;
  }
  void Type(const QString& text);
  void Click(const char* button);
  void Select(const QList<int>& rows);
  // The list box's entries; fails the test when they differ from the list.
  QStringList Entries();
  QListView* List() const { return Control<QListView>("lstImageList"); }
  int CurrentRow() const { return List()->currentIndex().row(); }

  QTemporaryDir dir_;
  std::unique_ptr<FakePlatform> platform_;
  QPointer<frmMain> window_;
};

void tst_ListCommands::initTestCase() {
  for (const char* name : {"b.bmp", "a.bmp", "A.BMP", "c.dib", ".hidden.bmp", "x[1].bmp", "x1.bmp",
                           "a;b.bmp", "with blank.bmp", "D", "E"}) {
    MakeFile(dir_.path(), name);
  }
  QVERIFY(QDir(dir_.path()).mkdir("sub.bmp"));
  MakeFile(Path("sub.bmp"), "inner.bmp");
  QVERIFY(QDir(dir_.path()).mkdir("moves"));
  for (const char* name : {"A", "B", "C", "D"}) MakeFile(Path("moves"), name);
}

void tst_ListCommands::init() { platform_ = std::make_unique<FakePlatform>(); }

void tst_ListCommands::cleanup() {
  if (window_) {
    window_->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QVERIFY(!window_);
  platform_.reset();
}

void tst_ListCommands::Open(const QStringList& names) {
  for (const QString& name : names) modMain::SharedImageList()->Add(Path(name));
  window_ = modMain::SharedMainForm().get();
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_));
}

void tst_ListCommands::Type(const QString& text) {
  auto* box = Control<QLineEdit>("txtImageListAdd");
  box->setFocus();
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Delete);
  QTest::keyClicks(box, text);
  QCOMPARE(box->text(), text);
}

void tst_ListCommands::Click(const char* button) {
  QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton);
}

void tst_ListCommands::Select(const QList<int>& rows) {
  QListView* list = List();
  for (qsizetype i = 0; i < rows.size(); ++i) {
    const QRect rect = list->visualRect(list->model()->index(rows[i], 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton,
                      i == 0 ? Qt::NoModifier : Qt::ControlModifier, rect.center());
  }
  QCOMPARE(list->selectionModel()->selectedRows().size(), rows.size());
}

QStringList tst_ListCommands::Entries() {
  QStringList shown, listed;
  for (int i = 0; i < List()->model()->rowCount(); ++i) {
    shown.append(List()->model()->index(i, 0).data().toString());
  }
  const auto images = modMain::SharedImageList();
  for (const QString& entry : *images) listed.append(entry);
  if (shown != listed) qWarning() << "list box" << shown << "image list" << listed;
  return shown == listed ? shown : QStringList{"list box and image list differ"};
}

void tst_ListCommands::enterAddsTheTypedFileEachTime() {
  Open({});
  Type(Path("a;b.bmp"));
  QTest::keyClick(Control<QLineEdit>("txtImageListAdd"), Qt::Key_Return);
  // Enter works anywhere in the window, here in the list box.
  QTest::keyClick(List(), Qt::Key_Enter);
  QCOMPARE(Entries(), (QStringList{Path("a;b.bmp"), Path("a;b.bmp")}));
  // Filling an empty list makes its first entry current, so that closing
  // stores a name the rotation can start after; later additions keep it.
  QCOMPARE(CurrentRow(), 0);
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), Path("a;b.bmp"));
  QVERIFY(platform_->messages->shown.isEmpty());
}

void tst_ListCommands::patternAddsMatchingPlainFiles_data() {
  QTest::addColumn<QString>("pattern");
  QTest::addColumn<QStringList>("names");
  QTest::newRow("plain files only, no hidden file, no folder")
      << "*.bmp"
      << QStringList{"a.bmp", "a;b.bmp", "b.bmp", "with blank.bmp", "x1.bmp", "x[1].bmp"};
  QTest::newRow("letter case counts") << "*.BMP" << QStringList{"A.BMP"};
  QTest::newRow("bracket is one plain character") << "x[1]*" << QStringList{"x[1].bmp"};
  QTest::newRow("semicolon makes no second pattern") << "a;*" << QStringList{"a;b.bmp"};
  QTest::newRow("blank makes no second pattern") << "with *" << QStringList{"with blank.bmp"};
  QTest::newRow("question mark") << "?" << QStringList{"D", "E"};
}

void tst_ListCommands::patternAddsMatchingPlainFiles() {
  QFETCH(QString, pattern);
  QFETCH(QStringList, names);
  Open({"c.dib"});
  // The folder part is kept exactly as typed, its doubled separator too.
  const QString folder = dir_.path() + "//";
  Type(folder + pattern);
  QTest::keyClick(Control<QLineEdit>("txtImageListAdd"), Qt::Key_Return);
  QStringList expected{Path("c.dib")};
  for (const QString& name : names) expected.append(folder + name);
  QCOMPARE(Entries(), expected);
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), folder + pattern);
  QVERIFY(platform_->messages->shown.isEmpty());
}

// Relative names would name other files, or none, once the program runs
// elsewhere (a logon entry starts it in the home folder).
void tst_ListCommands::relativeNamesAndPatternsAreStoredAbsolute() {
  const QString previous = QDir::currentPath();
  QVERIFY(QDir::setCurrent(dir_.path()));
  Open({});
  Type("*.dib");
  Click("cmdImageListAdd");
  Type("moves/B");
  Click("cmdImageListAdd");
  Type("moves/../D");
  Click("cmdImageListAdd");
  QDir::setCurrent(previous);
  QCOMPARE(Entries(), (QStringList{Path("c.dib"), Path("moves/B"), Path("D")}));
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), QStringLiteral("moves/../D"));
}

void tst_ListCommands::noValidFile_data() {
  QTest::addColumn<QString>("typed");
  QTest::newRow("empty") << QString();
  QTest::newRow("a folder's name") << Path("sub.bmp");
  QTest::newRow("no match") << Path("*.gif");
  QTest::newRow("folder that does not exist") << Path("missing/*.bmp");
  QTest::newRow("nothing after the separator") << dir_.path() + "/";
}

void tst_ListCommands::noValidFile() {
  QFETCH(QString, typed);
  Open({"a.bmp"});
  Type(typed);
  Click("cmdImageListAdd");
  QCOMPARE(platform_->messages->shown.size(), 1);
  QCOMPARE(platform_->messages->shown[0].prompt, QStringLiteral("No Valid File."));
  QCOMPARE(platform_->messages->shown[0].style, 0);
  QCOMPARE(platform_->messages->shown[0].caption, QStringLiteral("Zorvane Vistaro 0.2"));
  QCOMPARE(Entries(), QStringList{Path("a.bmp")});
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), typed);
}

void tst_ListCommands::movesAndRemovalsKeepTheCurrentEntry_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<QList<int>>("rows");
  QTest::addColumn<int>("current");
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("after");
  QTest::addColumn<int>("currentAfter");
  const QString up = "cmdImageListUp", down = "cmdImageListDown", remove = "cmdImageListRemove";
  QTest::newRow("middle block up, current moves with it")
      << "ABCD" << QList<int>{1, 2} << 2 << up << "BCAD" << 1;
  QTest::newRow("middle block down, current outside it stays")
      << "ABCD" << QList<int>{1, 2} << 0 << down << "ADBC" << 0;
  QTest::newRow("current neighbour passed by the moved entry goes with its entry")
      << "ABCD" << QList<int>{1} << 0 << up << "BACD" << 1;
  QTest::newRow("first two up wrap to the end, current moves back")
      << "ABCD" << QList<int>{0, 1} << 3 << up << "CDAB" << 1;
  QTest::newRow("last two down wrap to the front")
      << "ABCD" << QList<int>{2, 3} << 3 << down << "CDAB" << 1;
  QTest::newRow("selected in reverse order, no current entry")
      << "ABCD" << QList<int>{2, 1} << -1 << up << "BCAD" << -1;
  // The list moves the first entry of a name, whichever duplicate is selected;
  // the current entry is a row, so it follows the row, not the name.
  QTest::newRow("duplicate: the first one wraps, the current second one stays")
      << "ABAC" << QList<int>{2} << 2 << up << "BACA" << 1;
  QTest::newRow("duplicate: the current first one wraps")
      << "ABAC" << QList<int>{2} << 0 << up << "BACA" << 3;
  QTest::newRow("duplicate down: the current second one keeps its place")
      << "ABAC" << QList<int>{0} << 2 << down << "BAAC" << 2;
  QTest::newRow("remove: the next entry takes the current one's place")
      << "ABCD" << QList<int>{2, 0} << 2 << remove << "BD" << 1;
  QTest::newRow("remove the current last entry: the new last one")
      << "ABCD" << QList<int>{3} << 3 << remove << "ABC" << 2;
  QTest::newRow("remove before the current entry")
      << "ABCD" << QList<int>{0} << 3 << remove << "BCD" << 2;
  QTest::newRow("remove a duplicate: the current second one stays")
      << "ABAC" << QList<int>{2} << 2 << remove << "BAC" << 1;
  QTest::newRow("remove everything") << "AB" << QList<int>{0, 1} << 1 << remove << "" << -1;
  for (const QString& button : {up, down, remove}) {
    QTest::addRow("nothing selected: %s changes nothing", qPrintable(button))
        << "ABC" << QList<int>{} << 1 << button << "ABC" << 1;
  }
}

void tst_ListCommands::movesAndRemovalsKeepTheCurrentEntry() {
  QFETCH(QString, before);
  QFETCH(QList<int>, rows);
  QFETCH(int, current);
  QFETCH(QString, button);
  QFETCH(QString, after);
  QFETCH(int, currentAfter);
  QStringList names;
  for (const QChar name : before) names.append(QStringLiteral("moves/") + name);
  Open(names);
  Select(rows);
  List()->selectionModel()->setCurrentIndex(List()->model()->index(current, 0),
                                            QItemSelectionModel::NoUpdate);
  Click(qPrintable(button));
  QStringList expected;
  for (const QChar name : after) expected.append(Path(QStringLiteral("moves/") + name));
  QCOMPARE(Entries(), expected);
  QCOMPARE(CurrentRow(), currentAfter);
  QVERIFY(List()->selectionModel()->selectedRows().isEmpty());
}

void tst_ListCommands::deleteKeyRemovesAndDropAddsFilesAndFolders() {
  Open({"a.bmp", "b.bmp", "c.dib"});
  Select({0, 2});
  QTest::keyClick(List(), Qt::Key_Delete);
  QCOMPARE(Entries(), QStringList{Path("b.bmp")});

  // A folder adds its picture files by name, no hidden file, no sub-folder,
  // nothing that is no picture by its name.
  QTemporaryDir pictures;
  for (const char* name : {"z.png", "B.jpg", "a.JPG", ".hidden.png", "notes.txt"}) {
    MakeFile(pictures.path(), name);
  }
  QVERIFY(QDir(pictures.path()).mkdir("sub.png"));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(pictures.path()), QUrl::fromLocalFile(Path("D")),
                QUrl("https://example.org/x.png")});
  const QPoint at = List()->viewport()->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(List()->viewport(), &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(List()->viewport(), &drop);
  QCOMPARE(Entries(),
           (QStringList{Path("b.bmp"), pictures.filePath("B.jpg"), pictures.filePath("a.JPG"),
                        pictures.filePath("z.png"), Path("D")}));
  QCOMPARE(CurrentRow(), 0);
}

// The entry becomes the wallpaper through the rotation's own path: it is
// remembered as the last one, and a refusal is reported, not swallowed.
void tst_ListCommands::doubleClickOrMenuSetsTheWallpaper() {
  Open({"a.bmp", "b.bmp"});
  const QString lastKey = "Zorvane Vistaro 0.2/Main/ImageListLastSelected";
  const QPoint second = List()->visualRect(List()->model()->index(1, 0)).center();
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, second);
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, second);
  QCOMPARE(platform_->wallpaper->setFiles, QStringList{Path("b.bmp")});
  QCOMPARE(platform_->settings->values.value(lastKey), Path("b.bmp"));
  QVERIFY(platform_->messages->shown.isEmpty());

  platform_->wallpaper->refusedFiles = {Path("a.bmp")};
  QTimer::singleShot(0, this, [] {
    QWidget* menu = QApplication::activePopupWidget();
    QVERIFY(menu);
    QCOMPARE(qobject_cast<QMenu*>(menu)->actions().value(0)->text(), "Set as Wallpaper");
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  const QPoint first = List()->visualRect(List()->model()->index(0, 0)).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, first, List()->viewport()->mapToGlobal(first));
  QCoreApplication::sendEvent(List()->viewport(), &menu);
  QCOMPARE(platform_->wallpaper->setFiles, (QStringList{Path("b.bmp"), Path("a.bmp")}));
  QCOMPARE(platform_->settings->values.value(lastKey), Path("b.bmp"));
  QCOMPARE(platform_->messages->shown.size(), 1);
  const QStringList report = platform_->messages->shown[0].prompt.split("\r\n");
  QCOMPARE(report.value(0), "ZVistaro02: Error -2147213312 - Unexpected internal error");
  QVERIFY2(report.value(1).startsWith("ZVistaro02: ") && report.value(1).contains(Path("a.bmp")),
           qPrintable(report.value(1)));
  QCOMPARE(platform_->messages->shown[0].style, 16);
}

void tst_ListCommands::dialogAddsChosenFilesAndRemembersTheFolder() {
  QTemporaryDir other;
  DialogAnswers dialogs;
  dialogs.answers = {
      {true, {Path("c.dib"), Path("a.bmp"), Path("with blank.bmp")}, other.path()},
      {false, {Path("D")}, dir_.path()},
      {true, {Path("E")}, dir_.path()},
  };
  Open({"b.bmp"});
  Type("typed");
  List()->selectionModel()->setCurrentIndex(List()->model()->index(0, 0),
                                            QItemSelectionModel::NoUpdate);
  Click("cmdImageListAddOpen");
  const QStringList afterFirst{Path("b.bmp"), Path("c.dib"), Path("a.bmp"), Path("with blank.bmp")};
  QCOMPARE(Entries(), afterFirst);
  QCOMPARE(CurrentRow(), 0);
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), Path("with blank.bmp"));

  // Cancelling changes nothing, the remembered folder included.
  Click("cmdImageListAddOpen");
  QCOMPARE(Entries(), afterFirst);
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), Path("with blank.bmp"));

  Click("cmdImageListAddOpen");
  QCOMPARE(Entries(), afterFirst + QStringList{Path("E")});
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), Path("E"));
  QCOMPARE(dialogs.startFolders, (QStringList{QDir::currentPath(), other.path(), other.path()}));
  QVERIFY(dialogs.answers.empty());
}

void tst_ListCommands::dialogInTheRootFolder() {
  QTemporaryFile first("/zvistaro-XXXXXX.bmp"), second("/zvistaro-XXXXXX.bmp");
  if (!first.open() || !second.open()) QSKIP("the root folder is not writable here");
  DialogAnswers dialogs;
  dialogs.answers = {{true, {first.fileName()}, "/"},
                     {true, {second.fileName(), first.fileName()}, "/"}};
  Open({});
  Click("cmdImageListAddOpen");
  Click("cmdImageListAddOpen");
  QCOMPARE(Entries(), (QStringList{first.fileName(), second.fileName(), first.fileName()}));
}

// Every chosen file vanished before it could be added and the list was empty:
// there is no last entry to show, so the text box keeps its text.
void tst_ListCommands::dialogWhoseFilesAllVanishedKeepsTheText() {
  DialogAnswers dialogs;
  dialogs.answers = {{true, {Path("gone1"), Path("gone2")}, dir_.path()},
                     {true, {Path("D")}, dir_.path()}};
  Open({});
  Type("typed");
  Click("cmdImageListAddOpen");
  QCOMPARE(Entries(), QStringList());
  QCOMPARE(Control<QLineEdit>("txtImageListAdd")->text(), QStringLiteral("typed"));
  // The choice still counted: the next dialog opens where this one ended.
  Click("cmdImageListAddOpen");
  QCOMPARE(dialogs.startFolders.last(), dir_.path());
}

QTEST_MAIN(tst_ListCommands)
#include "tst_listcommands.moc"
