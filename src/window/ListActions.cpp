// What users of any list window expect beyond the five list commands: the
// Delete key, dropping files and folders onto the list, and making an entry
// the wallpaper at once (double click, or "Set as Wallpaper" in the entry's
// context menu).

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QImageReader>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

#include "kit/ProgramError.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"
#include "window/ImageListModel.h"
#include "window/frmMain.h"

namespace {

const QString kSetAsWallpaper = QStringLiteral("Set as Wallpaper");
const QString kListTip =
    QStringLiteral("Drop files or folders here to add them. Pictures this installation reads: %1");

// "*.<suffix>" for every format the installed image readers know.
QStringList PictureNameFilters() {
  QStringList filters;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    filters.append(QStringLiteral("*.") + QString::fromLatin1(format));
  }
  return filters;
}

QString ReadableFormats() {
  QStringList formats;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    formats.append(QString::fromLatin1(format));
  }
  return formats.join(QStringLiteral(", "));
}

bool HasLocalFiles(const QMimeData* data) {
  if (!data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

}  // namespace

void frmMain::EnableListShortcuts() {
  auto* remove = new QShortcut(QKeySequence::Delete, lstImageList_);
  remove->setContext(Qt::WidgetShortcut);
  connect(remove, &QShortcut::activated, cmdImageListRemove_, &QPushButton::click);
  lstImageList_->setToolTip(kListTip.arg(ReadableFormats()));
  lstImageList_->viewport()->setAcceptDrops(true);
  lstImageList_->viewport()->installEventFilter(this);
  connect(lstImageList_, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { SetAsWallpaper(index.row()); });
  lstImageList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstImageList_, &QWidget::customContextMenuRequested, this,
          &frmMain::lstImageList_ContextMenu);
}

// The list view would take drops as moves of its own rows; here they add
// files instead.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched != lstImageList_->viewport()) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (HasLocalFiles(drag->mimeData())) drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!HasLocalFiles(drop->mimeData())) return true;
      drop->acceptProposedAction();
      AddEntries(DroppedFiles(drop->mimeData()->urls()));
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
    if (!QFileInfo(path).isDir()) {
      files.append(path);
      continue;
    }
    const QDir folder(path);
    for (const QString& name : folder.entryList(PictureNameFilters(), QDir::Files, QDir::Name)) {
      files.append(QDir::toNativeSeparators(folder.filePath(name)));
    }
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
