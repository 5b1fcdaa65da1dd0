#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "display/DisplayBox.h"
#include "imagelist/ZVRImageList.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"
#include "support/TestSupport.h"
#include "window/Layout.h"
#include "window/frmMain.h"

namespace {

const QString kLastSelectedKey = QStringLiteral("Zorvane Vistaro 0.2/Main/ImageListLastSelected");
const QString kContentKey = QStringLiteral("Zorvane Vistaro 0.2/Main/ImageListContent");

int Px(float twips) { return qRound(twips / 15); }

QRect Pixels(const TwipRect& r) { return QRect(Px(r.left), Px(r.top), Px(r.width), Px(r.height)); }

}  // namespace

class tst_frmMain : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void controlsAndCaptions();
  void tabOrderAndAccessKeys();
  void enterAnywherePressesAdd();
  void geometryFollowsTheLayout();
  void tooSmallWindowSnapsBackToTheMinimum();
  void minimisedWindowMovesNothing();
  void closeAndReopenRestoresListAndCurrentEntry();
  void storedSelectionNoLongerListedLeavesNoCurrentEntry();
  void firstStartStoresEmptySelection();

 private:
  // What start-up does in window mode: load the stored list, show the window.
  void Start();
  template <typename T>
  T* Control(const char* name) {
    T* control = window_->findChild<T*>(QLatin1String(name));
    if (!control) qFatal("no control %s", name);
    return control;
  }
  void Close();

  std::unique_ptr<FakePlatform> platform_;
  std::unique_ptr<QTemporaryDir> dir_;
  QPointer<frmMain> window_;
};

void tst_frmMain::init() {
  platform_ = std::make_unique<FakePlatform>();
  dir_ = std::make_unique<QTemporaryDir>();
}

void tst_frmMain::cleanup() {
  if (window_) Close();
  platform_.reset();
}

void tst_frmMain::Start() {
  modMain::LoadImageListSetting();
  window_ = modMain::SharedMainForm().get();
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_));
}

void tst_frmMain::Close() {
  QVERIFY(window_->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(!window_);
}

void tst_frmMain::controlsAndCaptions() {
  Start();
  QCOMPARE(window_->windowTitle(), modMain::VersionTitle());
  QCOMPARE(Control<QGroupBox>("fraImageView")->title(), QStringLiteral("Image View"));
  QCOMPARE(Control<QGroupBox>("fraImageList")->title(), QStringLiteral("Image &List"));
  QCOMPARE(Control<QCheckBox>("chkView")->text(), QStringLiteral("&View"));
  QVERIFY(Control<QCheckBox>("chkView")->isChecked());
  QCOMPARE(Control<QPushButton>("cmdImageListRemove")->text(), QStringLiteral("&Remove"));
  QCOMPARE(Control<QPushButton>("cmdImageListDown")->text(), QStringLiteral("-"));
  QCOMPARE(Control<QPushButton>("cmdImageListUp")->text(), QStringLiteral("+"));
  QCOMPARE(Control<QPushButton>("cmdImageListAdd")->text(), QStringLiteral("&Add"));
  QCOMPARE(Control<QPushButton>("cmdImageListAddOpen")->text(), QStringLiteral("..."));
  QVERIFY(Control<QLineEdit>("txtImageListAdd")->text().isEmpty());
  auto* list = Control<QListWidget>("lstImageList");
  QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
  QVERIFY(!list->isSortingEnabled());
  auto* modes = Control<QComboBox>("cboView");
  QVERIFY(!modes->isEditable());
  QStringList entries;
  for (int i = 0; i < modes->count(); ++i) entries << modes->itemText(i);
  QCOMPARE(entries, QStringList({"Original", "Centered", "Stretched", "Proportionally Stretched",
                                 "Repeated", "Repeated Prop. Stretched"}));
  QCOMPARE(modes->currentIndex(), 0);
  auto* box = Control<DisplayBox>("vistaro");
  QCOMPARE(box->parentWidget(), window_.data());
  QCOMPARE(box->frameShadow(), QFrame::Sunken);
  // The display box lies in front of the view frame.
  const QObjectList children = window_->children();
  QVERIFY(children.indexOf(box) > children.indexOf(Control<QGroupBox>("fraImageView")));
}

void tst_frmMain::tabOrderAndAccessKeys() {
  Start();
  const QStringList expected = {
      "lstImageList",   "txtImageListAdd",  "cmdImageListAddOpen", "cmdImageListAdd",
      "cmdImageListUp", "cmdImageListDown", "cmdImageListRemove",  "chkView",
      "vistaro",        "cboView"};
  QStringList order;
  QWidget* widget = Control<QListWidget>("lstImageList");
  while (order.size() < expected.size()) {
    if (widget->focusPolicy() & Qt::TabFocus) order << widget->objectName();
    widget = widget->nextInFocusChain();
  }
  QCOMPARE(order, expected);

  QApplication::setActiveWindow(window_);
  QVERIFY(QTest::qWaitForWindowActive(window_));
  Control<QComboBox>("cboView")->setFocus();
  QTest::keyClick(window_, Qt::Key_L, Qt::AltModifier);
  QTRY_COMPARE(QApplication::focusWidget(), Control<QListWidget>("lstImageList"));
  auto* view = Control<QCheckBox>("chkView");
  QTest::keyClick(window_, Qt::Key_V, Qt::AltModifier);
  QTRY_VERIFY(!view->isChecked());
}

void tst_frmMain::enterAnywherePressesAdd() {
  Start();
  QApplication::setActiveWindow(window_);
  QVERIFY(QTest::qWaitForWindowActive(window_));
  QSignalSpy clicks(Control<QPushButton>("cmdImageListAdd"), &QPushButton::clicked);
  for (const char* name : {"txtImageListAdd", "lstImageList", "cboView", "cmdImageListUp"}) {
    QWidget* control = Control<QWidget>(name);
    control->setFocus();
    QTest::keyClick(control, Qt::Key_Return);
  }
  QTest::keyClick(Control<QWidget>("txtImageListAdd"), Qt::Key_Enter);
  QCOMPARE(clicks.count(), 5);
}

void tst_frmMain::geometryFollowsTheLayout() {
  Start();
  QCOMPARE(window_->logicalDpiX(), 96);
  QCOMPARE(window_->size(), QSize(574, 213));  // 8610 x 3195 twips
  for (const QSize size : {QSize(574, 213), QSize(901, 517)}) {
    window_->resize(size);
    QTRY_COMPARE(window_->size(), size);
    LayoutInput in;
    in.clientWidth = size.width() * 15.0f;
    in.clientHeight = size.height() * 15.0f;
    in.imageViewFrame = {Control<QWidget>("fraImageView")->width() * 15.0f, in.clientHeight};
    in.imageListFrame = {Control<QWidget>("fraImageList")->width() * 15.0f, in.clientHeight};
    in.chkView = {660, 195};
    in.cboViewHeight = 315;
    in.txtImageListAddHeight = 285;
    in.buttons[kButtonRemove] = {855, 255};
    in.buttons[kButtonDown] = {255, 255};
    in.buttons[kButtonUp] = {255, 255};
    in.buttons[kButtonAdd] = {495, 255};
    in.buttons[kButtonAddOpen] = {255, 255};
    const LayoutResult r = ComputeLayout(in).rects;
    const QList<std::pair<const char*, TwipRect>> expected = {
        {"fraImageView", r.fraImageView},
        {"fraImageList", r.fraImageList},
        {"vistaro", r.vistaro},
        {"chkView", r.chkView},
        {"cboView", r.cboView},
        {"txtImageListAdd", r.txtImageListAdd},
        {"lstImageList", r.lstImageList},
        {"cmdImageListRemove", r.buttons[kButtonRemove]},
        {"cmdImageListDown", r.buttons[kButtonDown]},
        {"cmdImageListUp", r.buttons[kButtonUp]},
        {"cmdImageListAdd", r.buttons[kButtonAdd]},
        {"cmdImageListAddOpen", r.buttons[kButtonAddOpen]},
    };
    for (const auto& [name, rect] : expected) {
      const QRect actual = Control<QWidget>(name)->geometry();
      const QRect wanted = Pixels(rect);
      const bool near = qAbs(actual.left() - wanted.left()) <= 1 &&
                        qAbs(actual.top() - wanted.top()) <= 1 &&
                        qAbs(actual.width() - wanted.width()) <= 1 &&
                        qAbs(actual.height() - wanted.height()) <= 1;
      QVERIFY2(near, name);
    }
  }
  // Frames meet with their gap and fill the width; buttons at the bottom right.
  auto* listFrame = Control<QWidget>("fraImageList");
  QCOMPARE(listFrame->geometry().right() + 1, 901);
  const QRect remove = Control<QWidget>("cmdImageListRemove")->geometry();
  QCOMPARE(remove.right() + 1, listFrame->width() - 4);
  QCOMPARE(remove.bottom() + 1, listFrame->height() - 4);
}

void tst_frmMain::tooSmallWindowSnapsBackToTheMinimum() {
  Start();
  window_->resize(300, 40);
  // 7620 x 1275 twips, borders and title bar included.
  QTRY_COMPARE(window_->frameGeometry().size(), QSize(508, 85));
  QCOMPARE(Control<QWidget>("fraImageList")->geometry().right() + 1, window_->width());
  window_->resize(300, 400);
  QTRY_COMPARE(window_->frameGeometry().width(), 508);
  QCOMPARE(window_->height(), 400);
}

void tst_frmMain::minimisedWindowMovesNothing() {
  Start();
  auto* box = Control<QWidget>("vistaro");
  window_->showMinimized();
  QTRY_VERIFY(window_->isMinimized());
  const QRect before = box->geometry();
  window_->resize(800, 500);
  QCoreApplication::processEvents();
  QCOMPARE(box->geometry(), before);
  window_->showNormal();
  QTRY_VERIFY(!window_->isMinimized());
  QTRY_COMPARE(Control<QWidget>("fraImageList")->geometry().right() + 1, window_->width());
}

void tst_frmMain::closeAndReopenRestoresListAndCurrentEntry() {
  const QString a = MakeFile(dir_->path(), QStringLiteral("a.png"));
  const QString b = MakeFile(dir_->path(), QStringLiteral("b; with \"quotes\".png"));
  const QString c = MakeFile(dir_->path(), QStringLiteral("c.png"));
  for (const QString& name : {c, a, b, a}) modMain::SharedImageList()->Add(name);
  Start();
  auto* list = Control<QListWidget>("lstImageList");
  QCOMPARE(list->count(), 4);
  QCOMPARE(list->currentRow(), -1);
  list->setCurrentRow(2);
  Close();
  QCOMPARE(platform_->settings->values.value(kLastSelectedKey), b);

  // Second lifetime: the stored list, in its order, with b current again.
  int paints = 0;
  Start();
  connect(Control<DisplayBox>("vistaro"), &DisplayBox::Paint, this, [&paints] { ++paints; });
  list = Control<QListWidget>("lstImageList");
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
  QCOMPARE(shown, QStringList({c, a, b, a}));
  QCOMPARE(list->currentRow(), 2);
  QVERIFY(list->selectedItems().isEmpty());
  Control<QWidget>("vistaro")->repaint();
  QVERIFY(paints > 0);

  // The same name twice: the first occurrence becomes current.
  list->setCurrentRow(3);
  Close();
  QCOMPARE(platform_->settings->values.value(kLastSelectedKey), a);
  Start();
  QCOMPARE(Control<QListWidget>("lstImageList")->currentRow(), 1);
}

void tst_frmMain::storedSelectionNoLongerListedLeavesNoCurrentEntry() {
  const QString a = MakeFile(dir_->path(), QStringLiteral("a.png"));
  platform_->settings->values[kContentKey] = QStringLiteral("\"%1\"").arg(a);
  platform_->settings->values[kLastSelectedKey] = dir_->filePath(QStringLiteral("gone.png"));
  Start();
  auto* list = Control<QListWidget>("lstImageList");
  QCOMPARE(list->count(), 1);
  QCOMPARE(list->currentRow(), -1);
  QVERIFY(platform_->messages->shown.isEmpty());
  // Closing with entries but none current stores the empty text.
  Close();
  QVERIFY(platform_->settings->values.contains(kLastSelectedKey));
  QCOMPARE(platform_->settings->values.value(kLastSelectedKey), QString());
  QCOMPARE(platform_->settings->values.value(kContentKey), QStringLiteral("\"%1\"").arg(a));
}

void tst_frmMain::firstStartStoresEmptySelection() {
  Start();
  QCOMPARE(Control<QListWidget>("lstImageList")->count(), 0);
  QCOMPARE(Control<QListWidget>("lstImageList")->currentRow(), -1);
  QCOMPARE(Control<QComboBox>("cboView")->currentText(), QStringLiteral("Original"));
  Close();
  QVERIFY(platform_->settings->values.contains(kLastSelectedKey));
  QCOMPARE(platform_->settings->values.value(kLastSelectedKey), QString());
  QCOMPARE(platform_->settings->values.value(kContentKey), QString());
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
