#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryFile>
#include <QtTest>

#include <deque>

#include "imagelist/ZVRImageList.h"
#include "kit/FileDialog.h"
#include "support/TestSupport.h"
#include "window/Layout.h"
#include "window/WindowDriver.h"

namespace {

QStringList Names(const char* names) { return QString(names).split(' ', Qt::SkipEmptyParts); }

}  // namespace

// The main window driven as a user drives it, on the shared image list, with
// a recording platform.
class tst_frmMain : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init() { platform_ = std::make_unique<FakePlatform>(); }
  void cleanup() {
    if (driver_.IsOpen()) QVERIFY(driver_.Close());
    platform_.reset();
  }
  void listCommands_data();
  void listCommands();
  void doubleClickOrMenuSetsTheWallpaper();
  void dialogAddsChosenFilesAndRemembersItsFolder();
  void keyboardAndLayout();
  void layoutSizesBelowZeroBecomeZero();

 private:
  QStringList Paths(const QStringList& names) const {
    QStringList paths;
    for (const QString& name : names) paths.append(dir_.path() + '/' + name);
    return paths;
  }
  QString Path(const char* name) const { return dir_.path() + '/' + name; }
  // A stored name no longer listed leaves no entry current, without a word.
  void Open(const QStringList& names) {
    for (const QString& path : Paths(names)) modMain::SharedImageList()->Add(path);
    platform_->settings->values[kLastSelected] = Path("gone");
    QVERIFY(driver_.Start());
    QCOMPARE(List()->currentIndex().row(), -1);
  }
  QListView* List() const { return driver_.Control<QListView>("lstImageList"); }
  QLineEdit* Text() const { return driver_.Control<QLineEdit>("txtImageListAdd"); }
  QPoint Row(int row) const { return List()->visualRect(List()->model()->index(row, 0)).center(); }
  QPushButton* Button(const QString& caption) const {
    for (auto* button : driver_.Window()->findChildren<QPushButton*>())
      if (button->text() == caption) return button;
    qFatal("no button %s", qPrintable(caption));
  }
  QStringList Entries() const {
    QStringList shown;
    for (int i = 0; i < List()->model()->rowCount(); ++i)
      shown << List()->model()->index(i, 0).data().toString();
    return shown;
  }

  const QString kLastSelected = QStringLiteral("Zorvane Vistaro 0.2/Main/ImageListLastSelected");
  QTemporaryDir dir_;
  std::unique_ptr<FakePlatform> platform_;
  WindowDriver driver_;
};

void tst_frmMain::initTestCase() {
  for (const char* name :
       {"A", "B", "C", "D", "a.bmp", "b.bmp", "A.BMP", ".hidden.bmp", "a;b.bmp", "c.dib",
        "sub.bmp/inner.bmp", "pictures/z.png", "pictures/B.jpg", "pictures/a.JPG",
        "pictures/.hidden.png", "pictures/notes.txt", "pictures/sub.png/inner.png"}) {
    QVERIFY(QDir(dir_.path()).mkpath(QFileInfo(name).path()));
    MakeFile(dir_.path(), name);
  }
  // Relative names are taken as relative to the program's current folder.
  QVERIFY(QDir::setCurrent(dir_.path()));
}

void tst_frmMain::listCommands_data() {
  QTest::addColumn<QStringList>("before");
  QTest::addColumn<QList<int>>("selected");  // clicked in this order
  QTest::addColumn<int>("current");
  QTest::addColumn<QString>("text");     // in the text box; for "drop" the dropped names
  QTest::addColumn<QString>("command");  // a button's caption, a key, or "drop"
  QTest::addColumn<QStringList>("after");
  QTest::addColumn<int>("currentAfter");
  // Entries are names in the test folder, separated by blanks.
  const auto row = [](const char* name, const char* before, const QList<int>& selected, int current,
                      const QString& text, const char* command, const char* after,
                      int currentAfter) {
    QTest::newRow(name) << Names(before) << selected << current << text << QString(command)
                        << Names(after) << currentAfter;
  };
  // Typed names are relative to the test folder unless they begin with it.
  const QString dir = dir_.path();
  row("Return adds; the first entry becomes current", "", {}, -1, "a;b.bmp", "Return", "a;b.bmp",
      0);
  row("Enter on + adds a duplicate", "a.bmp b.bmp", {}, 1, "a.bmp", "Enter", "a.bmp b.bmp a.bmp",
      1);
  // A pattern adds the plain files of that name and case, in order, with the
  // folder as typed.
  row("pattern", "c.dib", {}, 0, dir + "//*.bmp", "&Add", "c.dib /a.bmp /a;b.bmp /b.bmp", 0);
  row("relative pattern, cleaned", "", {}, -1, "sub.bmp/../*.dib", "&Add", "c.dib", 0);
  row("no valid file: empty", "a.bmp", {}, 0, "", "&Add", "a.bmp", 0);
  row("no valid file: no such folder", "a.bmp", {}, 0, "missing/*.bmp", "&Add", "a.bmp", 0);
  row("no valid file: nothing after /", "a.bmp", {}, 0, dir + "/", "&Add", "a.bmp", 0);
  // Selected rows are clicked in the order given.
  row("block up, current moves with it", "A B C D", {2, 1}, 2, "", "+", "B C A D", 1);
  row("block down, current outside stays", "A B C D", {1, 2}, 0, "", "-", "A D B C", 0);
  row("current passed by goes with its entry", "A B C D", {1}, 0, "", "+", "B A C D", 1);
  row("first two up wrap to the end", "A B C D", {0, 1}, 3, "", "+", "C D A B", 1);
  row("last two down wrap to the front", "A B C D", {2, 3}, 3, "", "-", "C D A B", 1);
  // The list moves the first entry of a name, whichever duplicate is selected;
  // the current entry follows its row, not its name.
  row("duplicate up, current second stays", "A B A C", {2}, 2, "", "+", "B A C A", 1);
  row("duplicate up, current first wraps", "A B A C", {2}, 0, "", "+", "B A C A", 3);
  row("duplicate down, current second stays", "A B A C", {0}, 2, "", "-", "B A A C", 2);
  row("remove, the next takes the current's place", "A B C D", {2, 0}, 2, "", "&Remove", "B D", 1);
  row("remove the current last", "A B C D", {3}, 3, "", "&Remove", "A B C", 2);
  row("Delete key, before the current", "A B C D", {0}, 3, "", "Delete", "B C D", 2);
  row("remove a duplicate, current second stays", "A B A C", {2}, 2, "", "&Remove", "B A C", 1);
  row("remove everything", "A B", {0, 1}, 1, "", "&Remove", "", -1);
  row("nothing selected: +", "A B C", {}, 1, "", "+", "A B C", 1);
  row("nothing selected: Remove", "A B C", {}, 1, "", "&Remove", "A B C", 1);
  // A folder adds its pictures by name: no hidden file, no sub-folder, no
  // other file; a web address adds nothing.
  row("drop a folder and a file", "b.bmp", {}, -1, "pictures D", "drop",
      "b.bmp pictures/B.jpg pictures/a.JPG pictures/z.png D", 0);
}

// Closing then stores the list and its current entry; reopening restores
// both, the stored name's first entry current and nothing selected.
void tst_frmMain::listCommands() {
  QFETCH(QStringList, before);
  QFETCH(QList<int>, selected);
  QFETCH(int, current);
  QFETCH(QString, text);
  QFETCH(QString, command);
  QFETCH(QStringList, after);
  QFETCH(int, currentAfter);
  Open(before);
  for (qsizetype i = 0; i < selected.size(); ++i) {
    QTest::mouseClick(List()->viewport(), Qt::LeftButton,
                      i == 0 ? Qt::NoModifier : Qt::ControlModifier, Row(selected[i]));
  }
  List()->selectionModel()->setCurrentIndex(List()->model()->index(current, 0),
                                            QItemSelectionModel::NoUpdate);
  Text()->setText(text);
  if (command == "Return") {
    QTest::keyClick(Text(), Qt::Key_Return);
  } else if (command == "Enter") {
    QTest::keyClick(Button("+"), Qt::Key_Enter);
  } else if (command == "Delete") {
    QTest::keyClick(List(), Qt::Key_Delete);
  } else if (command == "drop") {
    QMimeData data;
    QList<QUrl> urls{QUrl("https://example.org/x.png")};
    for (const QString& path : Paths(Names(qPrintable(text))))
      urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(List()->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(List()->viewport(), &drop);
  } else {
    QTest::mouseClick(Button(command), Qt::LeftButton);
  }
  QCOMPARE(Entries(), Paths(after));
  QCOMPARE(List()->currentIndex().row(), currentAfter);
  QVERIFY(List()->selectionModel()->selectedRows().isEmpty());
  QCOMPARE(Text()->text(), text);
  QStringList shown;
  for (const auto& message : platform_->messages->shown) {
    shown << QStringLiteral("%1 %2 %3").arg(message.prompt).arg(message.style).arg(message.caption);
  }
  const bool refused = command == "&Add" && after == before;
  QCOMPARE(shown, refused ? QStringList{"No Valid File. 0 Zorvane Vistaro 0.2"} : QStringList());
  QVERIFY(driver_.Close());
  QCOMPARE(platform_->settings->values.value(kLastSelected), Paths(after).value(currentAfter));
  QVERIFY(driver_.Start());
  QCOMPARE(Entries(), Paths(after));
  QCOMPARE(List()->currentIndex().row(), after.indexOf(after.value(currentAfter)));
  QVERIFY(List()->selectionModel()->selectedRows().isEmpty());
}

// The entry becomes the wallpaper through the rotation's own path: it is
// remembered as the last one, and a refusal is reported, not swallowed.
void tst_frmMain::doubleClickOrMenuSetsTheWallpaper() {
  Open({"a.bmp", "b.bmp"});
  platform_->wallpaper->refusedFiles = {Path("a.bmp")};
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, Row(1));
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, Row(1));
  QTimer::singleShot(0, this, [] {
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
  });
  QContextMenuEvent menu(QContextMenuEvent::Mouse, Row(0), List()->viewport()->mapToGlobal(Row(0)));
  QCoreApplication::sendEvent(List()->viewport(), &menu);
  QCOMPARE(platform_->wallpaper->setFiles, Paths({"b.bmp", "a.bmp"}));
  QCOMPARE(platform_->settings->values.value(kLastSelected), Path("b.bmp"));
  QCOMPARE(platform_->messages->shown.size(), 1);
  const QString report = platform_->messages->shown[0].prompt;
  QVERIFY(report.startsWith("ZVistaro02: Error -2147213312 - Unexpected internal error\r\n"));
  QVERIFY(report.contains(Path("a.bmp")));
  QCOMPARE(platform_->messages->shown[0].style, 16);
}

void tst_frmMain::dialogAddsChosenFilesAndRemembersItsFolder() {
  QTemporaryFile first("/zvistaro-XXXXXX.bmp"), second("/zvistaro-XXXXXX.bmp");
  if (!first.open() || !second.open()) QSKIP("the root folder is not writable here");
  QTemporaryDir other;
  std::deque<FileDialog::Answer> answers = {{true, Paths({"gone1", "gone2"}), other.path()},
                                            {false, Paths({"D"}), dir_.path()},
                                            {true, Paths({"c.dib", "a.bmp"}), dir_.path()},
                                            {true, {first.fileName()}, "/"},
                                            {true, {second.fileName(), first.fileName()}, "/"}};
  QStringList folders;
  FileDialog::SetAnswerer([&](const QFileDialog& dialog) {
    folders.append(dialog.directory().absolutePath());
    const FileDialog::Answer answer = answers.front();
    answers.pop_front();
    return answer;
  });
  Open({});
  Text()->setText("typed");
  // Every chosen file vanished and the list is empty: there is no last entry
  // to show, so the text stays; the choice still counts for the folder.
  QTest::mouseClick(Button("..."), Qt::LeftButton);
  QCOMPARE(Text()->text(), QStringLiteral("typed"));
  QTest::mouseClick(Button("..."), Qt::LeftButton);  // cancelled: changes nothing
  QCOMPARE(Text()->text(), QStringLiteral("typed"));
  for (int i = 0; i < 3; ++i) QTest::mouseClick(Button("..."), Qt::LeftButton);
  FileDialog::SetAnswerer({});
  const QStringList root{first.fileName(), second.fileName(), first.fileName()};
  QCOMPARE(Entries(), Paths({"c.dib", "a.bmp"}) + root);
  QCOMPARE(List()->currentIndex().row(), 0);
  QCOMPARE(Text()->text(), first.fileName());
  QCOMPARE(folders, (QStringList{dir_.path(), other.path(), other.path(), dir_.path(), "/"}));
}

// The access keys, the tab order, and the layout at the design size, a
// larger one, the smallest one and while minimised.
void tst_frmMain::keyboardAndLayout() {
  Open({});
  frmMain* window = driver_.Window();
  QApplication::setActiveWindow(window);
  QVERIFY(QTest::qWaitForWindowActive(window));
  driver_.Control("cboView")->setFocus();
  QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), List());
  QTest::keyClick(window, Qt::Key_V, Qt::AltModifier);
  QTRY_VERIFY(!driver_.Control<QCheckBox>("chkView")->isChecked());
  QCOMPARE(window->size(), QSize(574, 213));  // design size at 96 dots per inch
  window->resize(901, 517);
  QTRY_COMPARE(window->size(), QSize(901, 517));
  // The two frames, then every control in tab order.
  QWidgetList controls{driver_.Control("fraImageView"), driver_.Control("fraImageList")};
  for (QWidget* w = List(); controls.size() < 12; w = w->nextInFocusChain())
    if (w->focusPolicy() & Qt::TabFocus) controls << w;
  QStringList rects;
  for (const QWidget* w : controls) {
    const QRect r = w->geometry();
    rects << QString::asprintf("%s %d,%d %dx%d", qPrintable(w->objectName()), r.x(), r.y(),
                               r.width(), r.height());
  }
  QCOMPARE(rects.join(' '),
           "fraImageView 0,0 451x517 fraImageList 455,0 446x517 lstImageList 4,13 437x481 "
           "txtImageListAdd 4,494 267x19 cmdImageListAddOpen 275,496 17x17 cmdImageListAdd "
           "296,496 33x17 cmdImageListUp 338,496 17x17 cmdImageListDown 359,496 17x17 "
           "cmdImageListRemove 385,496 57x17 chkView 4,492 44x13 vistaro 4,13 442x479 cboView "
           "53,492 394x21");
  // The smallest window: 7620 x 1275 twips, borders and title bar included.
  window->resize(300, 40);
  QTRY_COMPARE(window->frameGeometry().size(), QSize(508, 85));
  QCOMPARE(driver_.Control("fraImageList")->geometry().right() + 1, window->width());
  // While minimised a resize moves nothing; restoring lays the window out
  // again.
  const QRect laidOut = driver_.Control("vistaro")->geometry();
  window->showMinimized();
  QTRY_VERIFY(window->isMinimized());
  driver_.Control("vistaro")->setGeometry(0, 0, 10, 10);
  QResizeEvent resize(window->size(), window->size());
  QCoreApplication::sendEvent(window, &resize);
  QCOMPARE(driver_.Control("vistaro")->geometry(), QRect(0, 0, 10, 10));
  window->showNormal();
  QTRY_COMPARE(driver_.Control("vistaro")->geometry(), laidOut);
}

// Large system fonts can make controls larger than the room left for them;
// a size below zero must not reach the window system (which would clamp it
// unseen, so this is checked on the layout itself).
void tst_frmMain::layoutSizesBelowZeroBecomeZero() {
  LayoutInput in;
  in.clientWidth = 7500;
  in.clientHeight = 300;
  in.imageViewFrame = {3750, 300};
  in.imageListFrame = {3686, 300};
  in.chkView = {660, 195};
  in.cboViewHeight = in.txtImageListAddHeight = 600;
  in.buttons[kButtonRemove] = {4000, 255};
  const LayoutResult r = ComputeLayout(in).rects;
  QCOMPARE((QList<float>{r.vistaro.height, r.txtImageListAdd.width, r.lstImageList.height}),
           (QList<float>{0, 0, 0}));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
