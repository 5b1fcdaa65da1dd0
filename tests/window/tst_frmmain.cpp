#include <QtTest>
#include <QtWidgets>

#include "imagelist/ZVRImageList.h"
#include "kit/FileDialog.h"
#include "support/TestSupport.h"
#include "window/Layout.h"
#include "window/WindowDriver.h"

// One row of the list-command table: the entries before, the text typed (for
// "drop" the dropped names), the command (buttons' captions, a key, Enter in
// the open view-mode list, or "drop <actions the source offers>=<action
// answered>"), the entries after, the rows selected in click order, the
// current row before and after, and the rows selected after. Entries are
// names in the test folder, separated by blanks.
struct Case {
  QString before, text, command, after;
  QList<int> selected;
  int current, currentAfter;
  QList<int> selectedAfter = {};
};
Q_DECLARE_METATYPE(Case)

// The main window driven as a user drives it, on the shared image list, with
// a recording platform.
class tst_frmMain : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    for (const char* name : {"A", "B", "C", "D", "a.bmp", "b.bmp", "A.BMP", ".hidden.bmp",
                             "a;b.bmp", "c.dib", "sub.bmp/inner.bmp", "pictures/z.png",
                             "pictures/B.jpg", "pictures/a.JPG", "pictures/.hidden.png",
                             "pictures/notes.txt", "pictures/sub.png/inner.png", "texts/a.txt"}) {
      QVERIFY(QDir(dir_.path()).mkpath(QFileInfo(name).path()));
      MakeFile(dir_.path(), name);
    }
    // Relative names are taken as relative to the program's current folder.
    QVERIFY(QDir::setCurrent(dir_.path()));
    qputenv("HOME", dir_.path().toUtf8());
  }
  void init() { platform_ = std::make_unique<FakePlatform>(); }
  void cleanup() {
    if (driver_.window) QVERIFY(driver_.Close());
    platform_.reset();
  }

  void listCommands_data() {
    QTest::addColumn<Case>("c");
    const auto row = [](const char* name, const Case& c) { QTest::newRow(name) << c; };
    // Typed names are relative to the test folder unless they begin with it.
    row("Return adds, first becomes current", {"", "a;b.bmp", "Return", "a;b.bmp", {}, -1, 0});
    row("Enter on Up adds again", {"a.bmp b.bmp", "a.bmp", "Enter", "a.bmp b.bmp a.bmp", {}, 1, 1});
    row("Enter in the open view-mode list only picks",
        {"a.bmp", "b.bmp", "ViewList", "a.bmp", {}, 0, 0});
    // A pattern adds the plain files of that name and case, in order, with the
    // folder as typed; "~/" stands for the home folder.
    row("pattern",
        {"c.dib", dir_.path() + "//*.bmp", "Add", "c.dib /a.bmp /a;b.bmp /b.bmp", {}, 0, 0});
    row("relative pattern, cleaned", {"", "sub.bmp/../*.dib", "Add", "c.dib", {}, -1, 0});
    row("home pattern", {"", "~/pictures/*.png", "Add", "pictures/z.png", {}, -1, 0});
    // A folder adds its pictures by name, as a dropped one: no hidden file,
    // no sub-folder, no other file.
    row("typed folder", {"c.dib",
                         "pictures/",
                         "Add",
                         "c.dib pictures/B.jpg pictures/a.JPG pictures/z.png",
                         {},
                         0,
                         0});
    row("no valid file: empty", {"a.bmp", "", "Add", "a.bmp", {}, 0, 0});
    row("no valid file: no such folder", {"a.bmp", "missing/*.bmp", "Add", "a.bmp", {}, 0, 0});
    row("no valid file: no picture in the folder", {"a.bmp", "texts", "Add", "a.bmp", {}, 0, 0});
    // Moved entries stay selected, so that a second press moves them on.
    row("block up, current moves with it", {"A B C D", "", "Up", "B C A D", {2, 1}, 2, 1, {0, 1}});
    row("block down, current outside stays",
        {"A B C D", "", "Down", "A D B C", {1, 2}, 0, 0, {2, 3}});
    row("current passed by goes with its entry", {"A B C D", "", "Up", "B A C D", {1}, 0, 1, {0}});
    row("one entry up twice", {"A B C D", "", "Up Up", "C A B D", {2}, 0, 1, {0}});
    row("first two up wrap to the end", {"A B C D", "", "Up", "C D A B", {0, 1}, 3, 1, {2, 3}});
    row("last two down wrap to the front",
        {"A B C D", "", "Down", "C D A B", {2, 3}, 3, 1, {0, 1}});
    // The list moves the first entry of a name, whichever duplicate is
    // selected; the current entry and the selection follow their rows, not
    // their names.
    row("duplicate up, current second stays", {"A B A C", "", "Up", "B A C A", {2}, 2, 1, {1}});
    row("duplicate up, current first wraps", {"A B A C", "", "Up", "B A C A", {2}, 0, 3, {1}});
    row("duplicate down, current second stays", {"A B A C", "", "Down", "B A A C", {0}, 2, 2, {1}});
    row("remove, next takes current's place", {"A B C D", "", "Remove", "B D", {2, 0}, 2, 1});
    row("remove the current last", {"A B C D", "", "Remove", "A B C", {3}, 3, 2});
    row("Delete key, before the current", {"A B C D", "", "Del", "B C D", {0}, 3, 2});
    row("remove duplicate, current second", {"A B A C", "", "Remove", "B A C", {2}, 2, 1});
    row("remove everything", {"A B", "", "Remove", "", {0, 1}, 1, -1});
    row("nothing selected: +", {"A B C", "", "Up", "A B C", {}, 1, 1});
    row("nothing selected: Remove", {"A B C", "", "Remove", "A B C", {}, 1, 1});
    // Drops are answered as copies (or links), never as moves, which would
    // let the source delete the files; a web address adds nothing.
    const char* dropped = "b.bmp pictures/B.jpg pictures/a.JPG pictures/z.png D";
    row("drop a folder and a file", {"b.bmp", "pictures D", "drop 7=1", dropped, {}, -1, 0});
    row("drop from a source offering move and link", {"", "D", "drop 6=4", "D", {}, -1, 0});
    row("drop from a source offering move only", {"D", "a.bmp", "drop 2=0", "D", {}, -1, -1});
  }

  // Closing then stores the list and its current entry; reopening restores
  // both, the stored name's first entry current and nothing selected.
  void listCommands() {
    QFETCH(Case, c);
    Open(c.before);
    for (int row : c.selected)
      QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ControlModifier, Row(row));
    List()->selectionModel()->setCurrentIndex(List()->model()->index(c.current, 0), {});
    Text()->setText(c.text);
    QMap<QString, QWidget*> keys{{"Return", Text()}, {"Enter", Button("Up")}, {"Del", List()}};
    auto* viewMode = driver_.Control<QComboBox>("cboView");
    if (keys.contains(c.command)) {
      QTest::keyClick(keys[c.command], QKeySequence(c.command)[0].key());
    } else if (c.command == "ViewList") {
      viewMode->showPopup();
      for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Return})
        QTest::keyClick(driver_.window->windowHandle(), key);
      QCOMPARE(viewMode->currentIndex(), 1);
    } else if (c.command.startsWith("drop")) {
      // The source offers the actions of the row; Shift proposes a move.
      const auto offered = Qt::DropActions::fromInt(c.command.mid(5, 1).toInt());
      const auto answer = Qt::DropAction(c.command.mid(7).toInt());
      QMimeData data;
      QList<QUrl> urls{QUrl("https://example.org/x.png")};
      for (const QString& path : Paths(c.text)) urls << QUrl::fromLocalFile(path);
      data.setUrls(urls);
      QDragEnterEvent enter({5, 5}, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
      QDropEvent drop({5, 5}, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
      for (QDropEvent* event : {static_cast<QDropEvent*>(&enter), &drop}) {
        QCoreApplication::sendEvent(List()->viewport(), event);
        QCOMPARE(event->isAccepted() ? event->dropAction() : Qt::IgnoreAction, answer);
      }
    } else {
      for (const QString& button : c.command.split(' '))
        QTest::mouseClick(Button(button), Qt::LeftButton);
    }
    QCOMPARE(viewMode->currentIndex(), int(c.command == "ViewList"));
    const QStringList after = Paths(c.after);
    QCOMPARE(Entries(), after);
    QCOMPARE(List()->currentIndex().row(), c.currentAfter);
    QList<int> selectedAfter;
    for (const QModelIndex& index : List()->selectionModel()->selectedRows())
      selectedAfter << index.row();
    std::sort(selectedAfter.begin(), selectedAfter.end());
    QCOMPARE(selectedAfter, c.selectedAfter);
    // The entry on show, and it alone, stands out.
    for (int row = 0; row < List()->model()->rowCount(); ++row)
      QCOMPARE(List()->model()->index(row, 0).data(Qt::FontRole).value<QFont>().bold(),
               row == c.currentAfter);
    QCOMPARE(Text()->text(), c.text);
    // Only an Add that adds nothing says so, and names what it looked for.
    QStringList shown;
    for (const auto& m : platform_->messages->shown)
      shown << QStringLiteral("%1 %2 %3")
                   .arg(m.prompt.section("\r\n", 0, 0))
                   .arg(m.style)
                   .arg(m.caption);
    const bool refused = c.command == "Add" && c.after == c.before;
    QCOMPARE(shown, QStringList(refused, "No Valid File. 0 Zorvane Vistaro 0.2"));
    if (refused && !c.text.isEmpty())
      QVERIFY(
          platform_->messages->shown[0].prompt.section("\r\n", 1).contains(dir_.filePath(c.text)));
    QVERIFY(driver_.Close());
    QCOMPARE(platform_->settings->values.value(kLastSelected), after.value(c.currentAfter));
    QVERIFY(driver_.Start());
    QCOMPARE(Entries(), after);
    QCOMPARE(List()->currentIndex().row(), after.indexOf(after.value(c.currentAfter)));
    QVERIFY(List()->selectionModel()->selectedRows().isEmpty());
  }

  // The entry becomes the wallpaper through the rotation's own path: it is
  // remembered as the last one, and a refusal is reported, not swallowed.
  void doubleClickOrMenuSetsTheWallpaper() {
    Open("a.bmp b.bmp");
    platform_->wallpaper->refusedFiles = {dir_.filePath("a.bmp")};
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, Row(1));
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, Row(1));
    QTimer::singleShot(0, this, [] {
      QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Down);
      QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Return);
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, Row(0),
                           List()->viewport()->mapToGlobal(Row(0)));
    QCoreApplication::sendEvent(List()->viewport(), &menu);
    QCOMPARE(platform_->wallpaper->setFiles, Paths("b.bmp a.bmp"));
    QCOMPARE(platform_->settings->values.value(kLastSelected), dir_.filePath("b.bmp"));
    QCOMPARE(platform_->messages->shown.size(), 1);
    const QString report = platform_->messages->shown[0].prompt;
    // The report line and the cause line, without standard error's prefixes.
    QCOMPARE(report, "Error -2147213312 - Unexpected internal error\r\nthe desktop refused " +
                         dir_.filePath("a.bmp"));
    QCOMPARE(platform_->messages->shown[0].style, 16);
  }

  // Closing, or a command, while a long stored list is still loading acts on
  // the whole list: missing files left out, nothing twice, and the stored
  // current entry current once its row has come. Closing always ends with
  // the whole list stored, wherever the loading stands.
  void commandsWhileTheListLoads() {
    QStringList stored, loaded;
    for (int i = 0; i < 30000; ++i) {
      stored << Paths("A gone B");
      loaded << Paths("A B");
    }
    stored << Paths("D gone C");
    loaded << Paths("D C");
    const auto text = [](const QStringList& names) { return '"' + names.join("\"; \"") + '"'; };
    platform_->settings->values[kLastSelected] = dir_.filePath("D");
    for (int round = 0; round < 21; ++round) {
      const QString command = round < 20 ? "close" : "Add";
      platform_->settings->values[kContent] = text(stored);
      QVERIFY(driver_.Start(false));
      QTest::qWait(round);  // closes at a later stage of the loading each time
      Text()->setText("c.dib");
      if (command == "Add") QTest::mouseClick(Button(command), Qt::LeftButton);
      QVERIFY(driver_.Close());
      if (command == "Add") loaded << dir_.filePath("c.dib");
      QCOMPARE(platform_->settings->values.value(kContent), text(loaded));
      QCOMPARE(platform_->settings->values.value(kLastSelected), dir_.filePath("D"));
    }
  }

  void dialogAddsChosenFilesAndRemembersItsFolder() {
    QTemporaryFile first("/zvistaro-XXXXXX.bmp"), second("/zvistaro-XXXXXX.bmp");
    if (!first.open() || !second.open()) QSKIP("the root folder is not writable here");
    QTemporaryDir other;
    const QString f = first.fileName(), s = second.fileName();
    QList<FileDialog::Answer> answers = {{true, Paths("gone1 gone2"), other.path()},
                                         {false, Paths("D"), dir_.path()},
                                         {true, {f}, "/"},
                                         {true, Paths("c.dib a.bmp"), dir_.path()},
                                         {true, {s, f}, "/"}};
    QStringList seen;     // the dialog's folder and the text box as it opens
    QStringList filters;  // the first dialog's chosen filter, then all of them
    FileDialog::SetAnswerer([&](const QFileDialog& dialog) {
      seen << dialog.directory().absolutePath() + ' ' + Text()->text();
      if (filters.isEmpty())
        filters = QStringList{dialog.selectedNameFilter()} + dialog.nameFilters();
      return answers.takeFirst();
    });
    Open("");
    Text()->setText("typed");
    // Every chosen file of the first choice vanished and the list is empty:
    // there is no last entry to show, so the text stays; the choice still
    // counts for the folder. The second choice is cancelled: it changes
    // nothing. Every other choice shows the list's last entry.
    for (int i = 0; i < 5; ++i) QTest::mouseClick(Button("AddOpen"), Qt::LeftButton);
    FileDialog::SetAnswerer({});
    QCOMPARE(Entries(), QStringList{f} + Paths("c.dib a.bmp") << s << f);
    QCOMPARE(List()->currentIndex().row(), 0);
    QCOMPARE(Text()->text(), f);
    const QString typed = " typed";
    QCOMPARE(seen, (QStringList{dir_.path() + typed, other.path() + typed, other.path() + typed,
                                "/ " + f, dir_.path() + ' ' + Paths("a.bmp")[0]}));
    // It opens on the formats the program reads (the photos' among them,
    // not those it always refuses), then the classic two.
    QVERIFY2(filters.value(0).startsWith("Pictures (") && filters.value(0).endsWith(')'),
             qPrintable(filters.value(0)));
    const QStringList patterns = filters.value(0).mid(10).chopped(1).split(' ');
    for (const char* pattern : {"*.jpg", "*.jpeg", "*.png", "*.webp", "*.heic", "*.avif", "*.jxl"})
      QVERIFY2(patterns.contains(pattern), pattern);
    QVERIFY(!patterns.contains("*.icns") && !patterns.contains("*.mng"));
    QVERIFY(filters[1].startsWith(filters[0]));
    QCOMPARE(filters.mid(2), (QStringList{"Bitmap-Dateien (*.bmp; *.dib) (*.bmp *.dib)",
                                          "Alle Dateien (*.*) (*)"}));
  }

  // The access keys, the tab order, and the layout at the design size, a
  // larger one, the smallest one, while minimised and with oversized controls.
  void keyboardAndLayout() {
    Open("");
    QApplication::setActiveWindow(driver_.window);
    QVERIFY(QTest::qWaitForWindowActive(driver_.window));
    driver_.Control("cboView")->setFocus();
    QTest::keyClick(driver_.window, Qt::Key_L, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), List());
    QTest::keyClick(driver_.window, Qt::Key_V, Qt::AltModifier);
    QTRY_VERIFY(!driver_.Control<QCheckBox>("chkView")->isChecked());
    for (const char* button : {"AddOpen", "Up", "Down", "Remove"})
      QVERIFY(!Button(button)->toolTip().isEmpty());
    QCOMPARE(driver_.window->size(), QSize(574, 213));  // design size at 96 dots per inch
    driver_.window->resize(901, 517);
    QTRY_COMPARE(driver_.window->size(), QSize(901, 517));
    // The two frames, then every control in tab order.
    const auto rect = [](const QWidget* w) {
      const QRect r = w->geometry();
      return QString::asprintf("%s:%s %d,%d %dx%d", qPrintable(w->objectName()),
                               qPrintable(w->property("text").toString()), r.x(), r.y(), r.width(),
                               r.height());
    };
    QStringList rects{rect(driver_.Control("fraImageView")), rect(driver_.Control("fraImageList"))};
    for (QWidget* w = List(); rects.size() < 12; w = w->nextInFocusChain())
      if (w->focusPolicy() & Qt::TabFocus) rects << rect(w);
    QCOMPARE(rects.join(' '),
             "fraImageView: 0,0 451x517 fraImageList: 455,0 446x517 lstImageList: 4,13 437x481 "
             "txtImageListAdd: 4,494 267x19 cmdImageListAddOpen:... 275,496 17x17 "
             "cmdImageListAdd:&Add 296,496 33x17 cmdImageListUp:+ 338,496 17x17 cmdImageListDown:- "
             "359,496 17x17 cmdImageListRemove:&Remove 385,496 57x17 chkView:&View 4,492 44x13 "
             "vistaro: 4,13 442x479 cboView: 53,492 394x21");
    // The smallest window: 7620 x 1275 twips, borders and title bar included.
    driver_.window->resize(300, 40);
    QTRY_COMPARE(driver_.window->frameGeometry().size(), QSize(508, 85));
    QCOMPARE(driver_.Control("fraImageList")->geometry().right() + 1, driver_.window->width());
    // While minimised a resize moves nothing; restoring lays the window out
    // again.
    const QRect laidOut = driver_.Control("vistaro")->geometry();
    driver_.window->showMinimized();
    QTRY_VERIFY(driver_.window->isMinimized());
    driver_.Control("vistaro")->setGeometry(0, 0, 10, 10);
    QResizeEvent resize(driver_.window->size(), driver_.window->size());
    QCoreApplication::sendEvent(driver_.window, &resize);
    QCOMPARE(driver_.Control("vistaro")->geometry(), QRect(0, 0, 10, 10));
    driver_.window->showNormal();
    QTRY_COMPARE(driver_.Control("vistaro")->geometry(), laidOut);
    // Large system fonts can make controls larger than the room left for
    // them; a size below zero must not reach the window system (which would
    // clamp it unseen, so this is checked on the layout itself).
    LayoutInput in{false, 7500, 300, {3750, 300}, {3686, 300}, {660, 195}, 600, 600, {}};
    in.buttons[kButtonRemove] = {4000, 255};
    const LayoutResult r = ComputeLayout(in).rects;
    QCOMPARE((QList<float>{r.vistaro.height, r.txtImageListAdd.width, r.lstImageList.height}),
             (QList<float>{0, 0, 0}));
  }

 private:
  QStringList Paths(const QString& names) const {
    return names.split(' ', Qt::SkipEmptyParts)
        .replaceInStrings(QRegularExpression("^"), dir_.path() + '/');
  }
  // A stored name no longer listed leaves no entry current, without a word.
  void Open(const QString& names) {
    for (const QString& path : Paths(names)) modMain::SharedImageList()->Add(path);
    platform_->settings->values[kLastSelected] = dir_.filePath("gone");
    QVERIFY(driver_.Start());
    QCOMPARE(List()->currentIndex().row(), -1);
  }
  QListView* List() const { return driver_.Control<QListView>("lstImageList"); }
  QLineEdit* Text() const { return driver_.Control<QLineEdit>("txtImageListAdd"); }
  QPoint Row(int row) const { return List()->visualRect(List()->model()->index(row, 0)).center(); }
  QPushButton* Button(const QString& name) const {
    return driver_.Control<QPushButton>(qPrintable("cmdImageList" + name));
  }
  QStringList Entries() const {
    QStringList shown;
    for (int i = 0; i < List()->model()->rowCount(); ++i)
      shown << List()->model()->index(i, 0).data().toString();
    return shown;
  }

  const QString kLastSelected = QStringLiteral("Zorvane Vistaro 0.2/Main/ImageListLastSelected");
  const QString kContent = QStringLiteral("Zorvane Vistaro 0.2/Main/ImageListContent");
  QTemporaryDir dir_;
  std::unique_ptr<FakePlatform> platform_;
  WindowDriver driver_;
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
