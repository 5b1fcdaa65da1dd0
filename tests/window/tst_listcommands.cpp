#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTemporaryFile>
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
  void barePatternUsesTheCurrentFolder();
  void noValidFile_data();
  void noValidFile();
  void blockMoves_data();
  void blockMoves();
  void removeTakesTheSelectedEntries();
  void nothingSelectedChangesNothing();
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
  auto* list = Control<QListWidget>("lstImageList");
  for (qsizetype i = 0; i < rows.size(); ++i) {
    const QRect rect = list->visualItemRect(list->item(rows[i]));
    QTest::mouseClick(list->viewport(), Qt::LeftButton,
                      i == 0 ? Qt::NoModifier : Qt::ControlModifier, rect.center());
  }
  QCOMPARE(list->selectedItems().size(), rows.size());
}

QStringList tst_ListCommands::Entries() {
  auto* list = Control<QListWidget>("lstImageList");
  QStringList shown, listed;
  for (int i = 0; i < list->count(); ++i) shown.append(list->item(i)->text());
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
  QTest::keyClick(Control<QListWidget>("lstImageList"), Qt::Key_Enter);
  QCOMPARE(Entries(), (QStringList{Path("a;b.bmp"), Path("a;b.bmp")}));
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

void tst_ListCommands::barePatternUsesTheCurrentFolder() {
  const QString previous = QDir::currentPath();
  QVERIFY(QDir::setCurrent(dir_.path()));
  Open({});
  Type("*.dib");
  Click("cmdImageListAdd");
  QDir::setCurrent(previous);
  QCOMPARE(Entries(), QStringList{"c.dib"});
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

void tst_ListCommands::blockMoves_data() {
  QTest::addColumn<QList<int>>("rows");
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("order");
  QTest::newRow("middle block up") << QList<int>{1, 2} << "cmdImageListUp"
                                   << "BCAD";
  QTest::newRow("middle block down") << QList<int>{1, 2} << "cmdImageListDown"
                                     << "ADBC";
  QTest::newRow("first two up wrap to the end") << QList<int>{0, 1} << "cmdImageListUp"
                                                << "CDAB";
  QTest::newRow("last two down wrap to the front") << QList<int>{2, 3} << "cmdImageListDown"
                                                   << "CDAB";
  QTest::newRow("selected in reverse order") << QList<int>{2, 1} << "cmdImageListUp"
                                             << "BCAD";
}

void tst_ListCommands::blockMoves() {
  QFETCH(QList<int>, rows);
  QFETCH(QString, button);
  QFETCH(QString, order);
  Open({"moves/A", "moves/B", "moves/C", "moves/D"});
  Select(rows);
  Click(qPrintable(button));
  QStringList expected;
  for (const QChar name : order) expected.append(Path(QStringLiteral("moves/") + name));
  QCOMPARE(Entries(), expected);
}

void tst_ListCommands::removeTakesTheSelectedEntries() {
  Open({"a.bmp", "b.bmp", "c.dib", "D", "E"});
  Select({2, 0});
  Click("cmdImageListRemove");
  QCOMPARE(Entries(), (QStringList{Path("b.bmp"), Path("D"), Path("E")}));
  QVERIFY(Control<QListWidget>("lstImageList")->selectedItems().isEmpty());
}

void tst_ListCommands::nothingSelectedChangesNothing() {
  Open({"a.bmp", "b.bmp", "c.dib"});
  const QStringList before = Entries();
  for (const char* button : {"cmdImageListRemove", "cmdImageListUp", "cmdImageListDown"}) {
    Click(button);
    QCOMPARE(Entries(), before);
  }
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
  Click("cmdImageListAddOpen");
  const QStringList afterFirst{Path("b.bmp"), Path("c.dib"), Path("a.bmp"), Path("with blank.bmp")};
  QCOMPARE(Entries(), afterFirst);
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
