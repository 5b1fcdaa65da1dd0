// What users of any list window expect beyond the five list commands: Enter
// for "&Add", the Delete key, dropping files and folders onto the list, and
// making an entry the wallpaper at once (double click, or "Set as
// Wallpaper" in the entry's context menu).

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include <utility>

#include "kit/ProgramError.h"
#include "picture/PictureFormats.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"
#include "window/ImageListModel.h"
#include "window/PictureFiles.h"
#include "window/frmMain.h"

namespace {

const QString kSetAsWallpaper = QStringLiteral("Set as Wallpaper");
const QString kListTip =
    QStringLiteral("Drop files or folders here to add them. Pictures this installation reads: %1");

QString ReadableFormats() {
  QStringList formats;
  for (const QByteArray& format : ReadFormats()) {
    formats.append(QString::fromLatin1(format));
  }
  return formats.join(QStringLiteral(", "));
}

bool IsEnter(const QKeyEvent* key) {
  return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
         (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool HasLocalFiles(const QMimeData* data) {
  if (!data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

// Accepts a drag or drop of local files as a copy, or else as a link, of
// what the source offers; never as a move, which would tell the source to
// delete the files: the list only records their names.
bool AcceptAsCopy(QDropEvent* drop) {
  const Qt::DropActions offered = drop->possibleActions();
  const Qt::DropAction action = (offered & Qt::CopyAction)   ? Qt::CopyAction
                                : (offered & Qt::LinkAction) ? Qt::LinkAction
                                                             : Qt::IgnoreAction;
  if (action == Qt::IgnoreAction || !HasLocalFiles(drop->mimeData())) {
    drop->ignore();
    return false;
  }
  drop->setDropAction(action);
  drop->accept();
  return true;
}

}  // namespace

void frmMain::EnableListShortcuts() {
  auto* remove = new QShortcut(QKeySequence::Delete, lstImageList_);
  remove->setContext(Qt::WidgetShortcut);
  connect(remove, &QShortcut::activated, cmdImageListRemove_, &QPushButton::click);
  lstImageList_->setToolTip(kListTip.arg(ReadableFormats()));
  lstImageList_->viewport()->setAcceptDrops(true);
  lstImageList_->viewport()->installEventFilter(this);
  cboView_->view()->installEventFilter(this);
  connect(lstImageList_, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { SetAsWallpaper(index.row()); });
  lstImageList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstImageList_, &QWidget::customContextMenuRequested, this,
          &frmMain::lstImageList_ContextMenu);
}

// Enter anywhere in the window presses "&Add", as a dialog's default button
// would: the controls pass Enter on to the window. An open popup keeps the
// key: a menu takes the key press itself, while the view-mode list picks
// its mode and closes when Enter is about to be pressed (ShortcutOverride),
// so that the key press of that same Enter, which reaches the window next,
// in the same turn of the event loop, is the list's and adds nothing.
void frmMain::keyPressEvent(QKeyEvent* event) {
  if (!IsEnter(event)) {
    QWidget::keyPressEvent(event);
  } else if (!std::exchange(enterTakenByPopup_, false)) {
    cmdImageListAdd_->click();
  }
}

// The list view would take drops as moves of its own rows; here they add
// files instead.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cboView_->view()) {
    if (event->type() == QEvent::ShortcutOverride && IsEnter(static_cast<QKeyEvent*>(event))) {
      enterTakenByPopup_ = true;
      QMetaObject::invokeMethod(
          this, [this] { enterTakenByPopup_ = false; }, Qt::QueuedConnection);
    }
    return false;
  }
  if (watched != lstImageList_->viewport()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
      AcceptAsCopy(static_cast<QDropEvent*>(event));
      return true;
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (AcceptAsCopy(drop)) AddEntries(DroppedFiles(drop->mimeData()->urls()));
      return true;
    }
    default:
      return QWidget::eventFilter(watched, event);
  }
}

QStringList frmMain::DroppedFiles(const QList<QUrl>& urls) {
  QStringList files;
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) continue;
    const QString path = QDir::toNativeSeparators(url.toLocalFile());
    files.append(QFileInfo(path).isDir() ? PictureFilesIn(path) : QStringList{path});
  }
  return files;
}

void frmMain::lstImageList_ContextMenu(const QPoint& position) {
  const QModelIndex index = lstImageList_->indexAt(position);
  if (!index.isValid()) return;
  QMenu menu(this);
  const QAction* setAsWallpaper = menu.addAction(kSetAsWallpaper);
  if (menu.exec(lstImageList_->viewport()->mapToGlobal(position)) == setAsWallpaper) {
    SetAsWallpaper(index.row());
  }
}

void frmMain::SetAsWallpaper(int row) {
  if (row < 0 || row >= entries_->rowCount()) return;
  const QString file = entries_->Entry(row);
  try {
    modMain::SetListedWallpaper(file);
  } catch (const ProgramError& error) {
    CurrentPlatform().messages->Show(modMain::ErrorReportText(error), kStyleCritical,
                                     modMain::ApplicationTitle());
  }
}
