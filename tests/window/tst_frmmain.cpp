#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListView>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "display/DisplayBox.h"
#include "imagelist/ZVRImageList.h"
#include "startup/VersionText.h"
#include "support/TestSupport.h"
#include "window/Layout.h"
#include "window/WindowDriver.h"

namespace {

const QString kLastSelected = QStringLiteral("Zorvane Vistaro 0.2/Main/ImageListLastSelected");
const QString kContent = QStringLiteral("Zorvane Vistaro 0.2/Main/ImageListContent");
const char* const kButtons[] = {"cmdImageListRemove", "cmdImageListDown", "cmdImageListUp",
                                "cmdImageListAdd", "cmdImageListAddOpen"};

}  // namespace

class tst_frmMain : public QObject {
  Q_OBJECT

 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }
  void cleanup() {
    if (driver_.IsOpen()) QVERIFY(driver_.Close());
  }
  void controlsCaptionsAndTabOrder();
  void accessKeysAndEnterPressesAdd();
  void geometryFollowsTheLayout();
  void minimumAndMinimisedWindow();
  void closeAndReopenRestoresListAndCurrentEntry();
  void staleOrMissingSelectionLeavesNoCurrentEntry();

 private:
  void Start() { QVERIFY(driver_.Start()); }
  void Close() { QVERIFY(driver_.Close()); }
  template <typename T = QWidget>
  T* Control(const char* name) {
    return driver_.Control<T>(name);
  }
  QListView* List() { return Control<QListView>("lstImageList"); }
  int RowCount() { return List()->model()->rowCount(); }
  int CurrentRow() { return List()->currentIndex().row(); }
  void SetCurrentRow(int row) { List()->setCurrentIndex(List()->model()->index(row, 0)); }
  QString Stored(const QString& key) { return platform_.settings->values.value(key, "(none)"); }

  FakePlatform platform_;
  std::unique_ptr<QTemporaryDir> dir_;
  WindowDriver driver_;
};

void tst_frmMain::controlsCaptionsAndTabOrder() {
  Start();
  QCOMPARE(driver_.Window()->windowTitle(), modMain::VersionTitle());
  QCOMPARE(driver_.Window()->windowIcon().availableSizes(), QList<QSize>({{16, 16}, {32, 32}}));
  QCOMPARE(Control<QGroupBox>("fraImageView")->title(), QStringLiteral("Image View"));
  QCOMPARE(Control<QGroupBox>("fraImageList")->title(), QStringLiteral("Image &List"));
  QCOMPARE(Control<QCheckBox>("chkView")->text(), QStringLiteral("&View"));
  QVERIFY(Control<QCheckBox>("chkView")->isChecked());
  QStringList captions;
  for (const char* name : kButtons) captions << Control<QPushButton>(name)->text();
  QCOMPARE(captions, QStringList({"&Remove", "-", "+", "&Add", "..."}));
  QCOMPARE(Control<QListView>("lstImageList")->selectionMode(),
           QAbstractItemView::ExtendedSelection);
  auto* modes = Control<QComboBox>("cboView");
  QVERIFY(!modes->isEditable());
  QStringList entries;
  for (int i = 0; i < modes->count(); ++i) entries << modes->itemText(i);
  QCOMPARE(entries, QStringList({"Original", "Centered", "Stretched", "Proportionally Stretched",
                                 "Repeated", "Repeated Prop. Stretched"}));
  QCOMPARE(modes->currentIndex(), 0);
  // The display box belongs to the window and lies in front of its frame.
  auto* box = Control<DisplayBox>("vistaro");
  QCOMPARE(box->frameShadow(), QFrame::Sunken);
  QVERIFY(driver_.Window()->children().indexOf(box) >
          driver_.Window()->children().indexOf(Control("fraImageView")));

  const QStringList expected = {
      "lstImageList",   "txtImageListAdd",  "cmdImageListAddOpen", "cmdImageListAdd",
      "cmdImageListUp", "cmdImageListDown", "cmdImageListRemove",  "chkView",
      "vistaro",        "cboView"};
  QStringList order;
  for (QWidget* w = Control("lstImageList"); order.size() < expected.size();
       w = w->nextInFocusChain()) {
    if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
  }
  QCOMPARE(order, expected);
}

void tst_frmMain::accessKeysAndEnterPressesAdd() {
  Start();
  QApplication::setActiveWindow(driver_.Window());
  QVERIFY(QTest::qWaitForWindowActive(driver_.Window()));
  Control("cboView")->setFocus();
  QTest::keyClick(driver_.Window(), Qt::Key_L, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), Control("lstImageList"));
  QTest::keyClick(driver_.Window(), Qt::Key_V, Qt::AltModifier);
  QTRY_VERIFY(!Control<QCheckBox>("chkView")->isChecked());

  QSignalSpy clicks(Control<QPushButton>("cmdImageListAdd"), &QPushButton::clicked);
  for (const char* name : {"txtImageListAdd", "lstImageList", "cboView", "cmdImageListUp"}) {
    Control(name)->setFocus();
    QTest::keyClick(Control(name), Qt::Key_Return);
  }
  QTest::keyClick(Control("txtImageListAdd"), Qt::Key_Enter);
  QCOMPARE(clicks.count(), 5);
  // "&Add" with an empty text box answers each press with its message.
  QCOMPARE(platform_.messages->shown.size(), 5);
  platform_.messages->shown.clear();
}

void tst_frmMain::geometryFollowsTheLayout() {
  Start();
  QCOMPARE(driver_.Window()->logicalDpiX(), 96);  // 15 twips a pixel
  QCOMPARE(driver_.Window()->size(), QSize(574, 213));
  for (const QSize size : {QSize(574, 213), QSize(901, 517)}) {
    driver_.Window()->resize(size);
    QTRY_COMPARE(driver_.Window()->size(), size);
    const float w = size.width() * 15.0f, h = size.height() * 15.0f;
    LayoutInput in{false,
                   w,
                   h,
                   {Control("fraImageView")->width() * 15.0f, h},
                   {Control("fraImageList")->width() * 15.0f, h},
                   {660, 195},
                   315,
                   285,
                   {{855, 255}, {255, 255}, {255, 255}, {495, 255}, {255, 255}}};
    const LayoutResult r = ComputeLayout(in).rects;
    QList<std::pair<const char*, TwipRect>> expected = {
        {"fraImageView", r.fraImageView}, {"fraImageList", r.fraImageList},
        {"vistaro", r.vistaro},           {"chkView", r.chkView},
        {"cboView", r.cboView},           {"txtImageListAdd", r.txtImageListAdd},
        {"lstImageList", r.lstImageList}};
    for (int b = 0; b < kButtonCount; ++b) expected.append({kButtons[b], r.buttons[b]});
    for (const auto& [name, t] : expected) {
      const QRect actual = Control(name)->geometry();
      const QRect wanted(qRound(t.left / 15), qRound(t.top / 15), qRound(t.width / 15),
                         qRound(t.height / 15));
      QVERIFY2((actual.topLeft() - wanted.topLeft()).manhattanLength() <= 1 &&
                   qAbs(actual.width() - wanted.width()) <= 1 &&
                   qAbs(actual.height() - wanted.height()) <= 1,
               name);
    }
  }
  QCOMPARE(Control("fraImageList")->geometry().right() + 1, 901);
}

void tst_frmMain::minimumAndMinimisedWindow() {
  Start();
  driver_.Window()->resize(300, 40);
  // 7620 x 1275 twips, borders and title bar included.
  QTRY_COMPARE(driver_.Window()->frameGeometry().size(), QSize(508, 85));
  QCOMPARE(Control("fraImageList")->geometry().right() + 1, driver_.Window()->width());

  // While minimised a resize moves nothing; restoring lays the window out
  // again.
  const QRect laidOut = Control("vistaro")->geometry();
  driver_.Window()->showMinimized();
  QTRY_VERIFY(driver_.Window()->isMinimized());
  Control("vistaro")->setGeometry(0, 0, 10, 10);
  QResizeEvent resize(driver_.Window()->size(), driver_.Window()->size());
  QCoreApplication::sendEvent(driver_.Window(), &resize);
  QCOMPARE(Control("vistaro")->geometry(), QRect(0, 0, 10, 10));
  driver_.Window()->showNormal();
  QTRY_COMPARE(Control("vistaro")->geometry(), laidOut);
  driver_.Window()->resize(800, 500);
  QTRY_COMPARE(Control("fraImageList")->geometry().right() + 1, 800);
}

void tst_frmMain::closeAndReopenRestoresListAndCurrentEntry() {
  const QString a = MakeFile(dir_->path(), QStringLiteral("a.png"));
  const QString b = MakeFile(dir_->path(), QStringLiteral("b; with \"quotes\".png"));
  const QString c = MakeFile(dir_->path(), QStringLiteral("c.png"));
  for (const QString& name : {c, a, b, a}) modMain::SharedImageList()->Add(name);
  Start();
  QCOMPARE(CurrentRow(), -1);
  SetCurrentRow(2);
  Close();
  QCOMPARE(Stored(kLastSelected), b);

  // Second lifetime: the stored list in its order, b current but not selected.
  Start();
  QStringList shown;
  for (int i = 0; i < RowCount(); ++i) shown << List()->model()->index(i, 0).data().toString();
  QCOMPARE(shown, QStringList({c, a, b, a}));
  QCOMPARE(CurrentRow(), 2);
  QVERIFY(List()->selectionModel()->selectedRows().isEmpty());

  // The same name twice: its first occurrence becomes current.
  SetCurrentRow(3);
  Close();
  QCOMPARE(Stored(kLastSelected), a);
  Start();
  QCOMPARE(CurrentRow(), 1);
}

void tst_frmMain::staleOrMissingSelectionLeavesNoCurrentEntry() {
  // First start: nothing stored; closing stores the empty texts.
  Start();
  QCOMPARE(RowCount(), 0);
  Close();
  QCOMPARE(Stored(kLastSelected), QString());
  QCOMPARE(Stored(kContent), QString());

  const QString a = MakeFile(dir_->path(), QStringLiteral("a.png"));
  platform_.settings->values[kContent] = QStringLiteral("\"%1\"").arg(a);
  platform_.settings->values[kLastSelected] = dir_->filePath(QStringLiteral("gone.png"));
  Start();
  QCOMPARE(RowCount(), 1);
  QCOMPARE(CurrentRow(), -1);
  QVERIFY(platform_.messages->shown.isEmpty());
  Close();
  QCOMPARE(Stored(kLastSelected), QString());
  QCOMPARE(Stored(kContent), QStringLiteral("\"%1\"").arg(a));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
