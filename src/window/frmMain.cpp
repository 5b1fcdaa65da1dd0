#include "window/frmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <exception>

#include "display/DisplayBox.h"
#include "display/Placement.h"
#include "display/Rendering.h"
#include "imagelist/ZVRImageList.h"
#include "startup/ListLoading.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"
#include "window/ImageListModel.h"
#include "window/Layout.h"
#include "window/WindowIcon.h"

namespace {

const QString kDesignCaption = QStringLiteral("Zorvane Vistaro");
constexpr TwipSize kDesignClientSize = {8610, 3195};

// The controls' design sizes leave room for a small font only: at this size
// every caption fits its control.
constexpr qreal kFontPointSize = 7;

// Captions; "&" marks the access key of the letter after it.
const QString kImageViewCaption = QStringLiteral("Image View");
const QString kViewCaption = QStringLiteral("&View");
const QString kImageListCaption = QStringLiteral("Image &List");
const QString kRemoveCaption = QStringLiteral("&Remove");
const QString kDownCaption = QStringLiteral("-");
const QString kUpCaption = QStringLiteral("+");
const QString kAddCaption = QStringLiteral("&Add");
const QString kAddOpenCaption = QStringLiteral("...");
const QString kAddOpenTip = QStringLiteral("Choose picture files to add to the list");
const QString kUpTip =
    QStringLiteral("Move the selected entries one place up (from the top to the end)");
const QString kDownTip =
    QStringLiteral("Move the selected entries one place down (from the end to the top)");
const QString kRemoveTip = QStringLiteral("Remove the selected entries from the list (Delete)");

// The view modes; an entry's index is the mode the display uses.
const QStringList kViewModes = {
    QStringLiteral("Original"),  QStringLiteral("Centered"),
    QStringLiteral("Stretched"), QStringLiteral("Proportionally Stretched"),
    QStringLiteral("Repeated"),  QStringLiteral("Repeated Prop. Stretched"),
};

// Design rectangles in twips, inside the control's container.
constexpr TwipRect kVistaroDesign = {120, 240, 2535, 2535};
constexpr TwipRect kImageViewDesign = {0, 0, 2775, 3135};
constexpr TwipRect kViewModeDesign = {720, 2760, 1935, 315};
constexpr TwipRect kViewCheckDesign = {0, 2880, 660, 195};
constexpr TwipRect kImageListDesign = {2880, 0, 5655, 3135};
constexpr TwipRect kRemoveDesign = {4680, 2760, 855, 255};
constexpr TwipRect kDownDesign = {4320, 2760, 255, 255};
constexpr TwipRect kUpDesign = {3960, 2760, 255, 255};
constexpr TwipRect kAddDesign = {3240, 2760, 495, 255};
constexpr TwipRect kAddTextDesign = {120, 2760, 2655, 285};
constexpr TwipRect kListDesign = {120, 240, 5415, 2400};
constexpr TwipRect kAddOpenDesign = {2880, 2760, 255, 255};

int ToPixels(float twips, double dpi) {
  return static_cast<int>(std::lround(double{twips} * dpi / kTwipsPerInch));
}

float ToTwips(int pixels, double dpi) { return static_cast<float>(pixels * kTwipsPerInch / dpi); }

}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent) {
  setWindowTitle(kDesignCaption);
  setWindowIcon(LoadWindowIcon());
  QFont small = font();
  small.setPointSizeF(kFontPointSize);
  setFont(small);
  CreateControls();
  SetTabOrder();
  WireEvents();
  resize(ToPixelsX(kDesignClientSize.width), ToPixelsY(kDesignClientSize.height));
}

void frmMain::CreateControls() {
  CreateImageView();
  CreateImageList();
}

void frmMain::CreateImageView() {
  // The display box lies over the view frame's area, in front of it, and
  // belongs to the window itself.
  fraImageView_ = new QGroupBox(kImageViewCaption, this);
  fraImageView_->setObjectName(QStringLiteral("fraImageView"));
  Place(fraImageView_, kImageViewDesign);
  vistaro_ = new DisplayBox(this);
  vistaro_->setObjectName(QStringLiteral("vistaro"));
  Place(vistaro_, kVistaroDesign);
  vistaro_->raise();
  cboView_ = new QComboBox(fraImageView_);
  cboView_->setObjectName(QStringLiteral("cboView"));
  Place(cboView_, kViewModeDesign);
  chkView_ = new QCheckBox(kViewCaption, fraImageView_);
  chkView_->setObjectName(QStringLiteral("chkView"));
  chkView_->setChecked(true);
  Place(chkView_, kViewCheckDesign);
}

void frmMain::CreateImageList() {
  fraImageList_ = new QGroupBox(kImageListCaption, this);
  fraImageList_->setObjectName(QStringLiteral("fraImageList"));
  Place(fraImageList_, kImageListDesign);
  cmdImageListRemove_ = CreateButton("cmdImageListRemove", kRemoveCaption, kRemoveDesign);
  cmdImageListDown_ = CreateButton("cmdImageListDown", kDownCaption, kDownDesign);
  cmdImageListUp_ = CreateButton("cmdImageListUp", kUpCaption, kUpDesign);
  cmdImageListAdd_ = CreateButton("cmdImageListAdd", kAddCaption, kAddDesign);
  txtImageListAdd_ = new QLineEdit(fraImageList_);
  txtImageListAdd_->setObjectName(QStringLiteral("txtImageListAdd"));
  Place(txtImageListAdd_, kAddTextDesign);
  lstImageList_ = new QListView(fraImageList_);
  lstImageList_->setObjectName(QStringLiteral("lstImageList"));
  lstImageList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstImageList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstImageList_->setUniformItemSizes(true);
  entries_ = new ImageListModel(lstImageList_);
  lstImageList_->setModel(entries_);
  Place(lstImageList_, kListDesign);
  cmdImageListAddOpen_ = CreateButton("cmdImageListAddOpen", kAddOpenCaption, kAddOpenDesign);
  cmdImageListAddOpen_->setToolTip(kAddOpenTip);
  cmdImageListUp_->setToolTip(kUpTip);
  cmdImageListDown_->setToolTip(kDownTip);
  cmdImageListRemove_->setToolTip(kRemoveTip);
}

QPushButton* frmMain::CreateButton(const char* name, const QString& caption,
                                   const TwipRect& design) {
  auto* button = new QPushButton(caption, fraImageList_);
  button->setObjectName(QLatin1String(name));
  button->setAutoDefault(false);
  Place(button, design);
  return button;
}

void frmMain::SetTabOrder() {
  // The frames take no focus; their access keys move it to the first
  // control inside them.
  const QList<QWidget*> order = {
      lstImageList_,   txtImageListAdd_,  cmdImageListAddOpen_, cmdImageListAdd_,
      cmdImageListUp_, cmdImageListDown_, cmdImageListRemove_,  chkView_,
      vistaro_,        cboView_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void frmMain::WireEvents() {
  connect(cboView_, &QComboBox::currentIndexChanged, this, &frmMain::cboView_Click);
  connect(chkView_, &QCheckBox::toggled, this, &frmMain::chkView_Click);
  connect(lstImageList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &frmMain::lstImageList_Click);
  connect(vistaro_, &DisplayBox::Paint, this, &frmMain::vistaro_Paint);
  connect(vistaro_, &DisplayBox::Resized, this, &frmMain::vistaro_Resize);
  connect(cmdImageListAdd_, &QPushButton::clicked, this, &frmMain::cmdImageListAdd_Click);
  connect(cmdImageListAddOpen_, &QPushButton::clicked, this, &frmMain::cmdImageListAddOpen_Click);
  connect(cmdImageListRemove_, &QPushButton::clicked, this, &frmMain::cmdImageListRemove_Click);
  connect(cmdImageListUp_, &QPushButton::clicked, this, &frmMain::cmdImageListUp_Click);
  connect(cmdImageListDown_, &QPushButton::clicked, this, &frmMain::cmdImageListDown_Click);
  EnableListShortcuts();
}

void frmMain::setVisible(bool visible) {
  if (visible && !loaded_) {
    loaded_ = true;
    Form_Load();
  }
  QWidget::setVisible(visible);
}

void frmMain::Form_Load() {
  setWindowTitle(modMain::VersionTitle());
  cboView_->addItems(kViewModes);
  cboView_->setCurrentIndex(0);
  RefreshListBox(-1);
  RestoreLastSelected();
  lstImageList_Click();
  if (ListLoading* loading = modMain::ImageListLoading(); loading && !loading->Finished()) {
    connect(loading, &ListLoading::Appended, this, &frmMain::ListRowsArrived);
    connect(loading, &ListLoading::Done, this, [this] { pendingCurrent_.clear(); });
  }
}

void frmMain::ListRowsArrived(int first, int count) {
  entries_->ShowAppended(lstImageList_->font());
  if (pendingCurrent_.isNull()) return;
  // Compared where they stand in the list, not copied out row by row.
  const auto list = modMain::SharedImageList();
  const auto arrived = list->begin() + first;
  const auto found = std::find(arrived, arrived + count, pendingCurrent_);
  if (found == arrived + count) return;
  pendingCurrent_.clear();
  lstImageList_->selectionModel()->setCurrentIndex(
      entries_->index(static_cast<int>(found - list->begin()), 0), QItemSelectionModel::NoUpdate);
}

// Makes the entry stored at the last closing current again, without
// selecting it. A stored name that is empty or no longer listed leaves no
// entry current; nothing here is reported.
void frmMain::RestoreLastSelected() {
  QModelIndex current;
  QString last;
  try {
    last = modMain::ReadSetting(QLatin1String(modMain::kImageListLastSelectedKey));
    const int row = modMain::SharedImageList()->IndexFromContent(last) - 1;
    current = entries_->index(row, 0);
  } catch (const std::exception&) {
    current = QModelIndex();
    // Its row may still come with the rest of a list being loaded.
    const ListLoading* loading = modMain::ImageListLoading();
    if (loading && !loading->Finished() && !last.isEmpty()) pendingCurrent_ = last;
  }
  lstImageList_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void frmMain::Form_Unload() {
  modMain::FinishLoadingImageListSetting();
  const int row = CurrentRow();
  QString selection;
  if (entries_->rowCount() != 0 && row != -1) {
    selection = modMain::SharedImageList()->FileName(row + 1);
  }
  modMain::WriteSetting(QLatin1String(modMain::kImageListLastSelectedKey), selection);
  // The list box lets go of the list, which ends when it is stored.
  entries_->ShowEntries(nullptr, lstImageList_->font());
  modMain::SaveImageListSetting();
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Closing always goes ahead; the list is stored once per loading.
  if (loaded_) {
    loaded_ = false;
    Form_Unload();
  }
  event->accept();
}

void frmMain::RefreshListBox(int currentRow) {
  entries_->ShowEntries(modMain::SharedImageList(), lstImageList_->font());
  const int count = entries_->rowCount();
  if (currentRow >= count) currentRow = count - 1;
  // Drawn bold before the list box lays its rows out for the current one,
  // so that they are laid out once.
  entries_->SetShownRow(currentRow);
  lstImageList_->selectionModel()->setCurrentIndex(entries_->index(currentRow, 0),
                                                   QItemSelectionModel::NoUpdate);
  DrawImage();
}

int frmMain::CurrentRow() const { return lstImageList_->selectionModel()->currentIndex().row(); }

void frmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void frmMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Restoring a minimised window may keep its size, so no resize event
  // would lay it out again.
  if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

// Grows the window to its minimum outer size. The resize lays the window
// out once more; the caller then measures afresh.
void frmMain::EnforceMinimumSize() {
  const QRect outer = frameGeometry();
  const int minWidth = ToPixelsX(kMinimumOuterWidth);
  const int minHeight = ToPixelsY(kMinimumOuterHeight);
  if (outer.width() >= minWidth && outer.height() >= minHeight) return;
  resize(std::max(outer.width(), minWidth) - (outer.width() - width()),
         std::max(outer.height(), minHeight) - (outer.height() - height()));
}

void frmMain::Form_Resize() {
  if (!loaded_ || isMinimized()) return;
  EnforceMinimumSize();
  const TwipSize client = SizeInTwips(this);
  const FrameRects frames = ComputeFrames(client.width, client.height);
  Place(fraImageView_, frames.imageView);
  Place(fraImageList_, frames.imageList);

  LayoutInput input;
  input.clientWidth = client.width;
  input.clientHeight = client.height;
  input.imageViewFrame = SizeInTwips(fraImageView_);
  input.imageListFrame = SizeInTwips(fraImageList_);
  input.chkView = SizeInTwips(chkView_);
  input.cboViewHeight = SizeInTwips(cboView_).height;
  input.txtImageListAddHeight = SizeInTwips(txtImageListAdd_).height;
  QPushButton* const buttons[kButtonCount] = {cmdImageListRemove_, cmdImageListDown_,
                                              cmdImageListUp_, cmdImageListAdd_,
                                              cmdImageListAddOpen_};
  for (int b = 0; b < kButtonCount; ++b) input.buttons[b] = SizeInTwips(buttons[b]);

  const Layout layout = ComputeLayout(input);
  if (!layout.laidOut) return;
  const LayoutResult& r = layout.rects;
  Place(chkView_, r.chkView);
  Place(cboView_, r.cboView);
  Place(vistaro_, r.vistaro);
  for (int b = 0; b < kButtonCount; ++b) Place(buttons[b], r.buttons[b]);
  Place(txtImageListAdd_, r.txtImageListAdd);
  Place(lstImageList_, r.lstImageList);
}

void frmMain::cboView_Click() { DrawImage(); }

void frmMain::chkView_Click() { DrawImage(); }

void frmMain::lstImageList_Click() {
  entries_->SetShownRow(CurrentRow());
  DrawImage();
}

void frmMain::vistaro_Resize() { DrawImage(); }

void frmMain::DrawImage() { vistaro_->update(); }

void frmMain::vistaro_Paint(QPainter* painter) {
  const auto list = modMain::SharedImageList();
  DisplayState state;
  state.count = list->Count();
  state.listIndex = CurrentRow();
  state.viewChecked = chkView_->isChecked();
  state.viewMode = cboView_->currentIndex();
  RenderDisplay(*painter, *vistaro_, state,
                [&list](int position) { return list->FileName(position); });
}

void frmMain::Place(QWidget* control, const TwipRect& rect) {
  control->setGeometry(ToPixelsX(rect.left), ToPixelsY(rect.top), ToPixelsX(rect.width),
                       ToPixelsY(rect.height));
}

TwipSize frmMain::SizeInTwips(const QWidget* control) const {
  return {ToTwips(control->width(), logicalDpiX()), ToTwips(control->height(), logicalDpiY())};
}

int frmMain::ToPixelsX(float twips) const { return ToPixels(twips, logicalDpiX()); }

int frmMain::ToPixelsY(float twips) const { return ToPixels(twips, logicalDpiY()); }
