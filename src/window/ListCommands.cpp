// The five commands of the image list frame. Each changes the shared image
// list and then refills the list box from it; none edits the list box itself.

#include <QLineEdit>
#include <QListWidget>
#include <QStringList>

#include <algorithm>

#include "imagelist/ZVRImageList.h"
#include "kit/FileDialog.h"
#include "kit/KitGlobal.h"
#include "kit/StringList.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"
#include "window/frmMain.h"

namespace {

constexpr char kNoValidFile[] = "No Valid File.";
constexpr int kStyleOkOnly = 0;
constexpr char kDialogFileTypes[] =
    "Bitmap-Dateien (*.bmp; *.dib)|*.bmp; *.dib|Alle Dateien (*.*)|*.*";

void ShowNoValidFile() {
  CurrentPlatform().messages->Show(QLatin1String(kNoValidFile), kStyleOkOnly,
                                   modMain::ApplicationTitle());
}

// The typed text up to and including its last folder separator; empty when
// it has none. "/" counts on every platform, the platform's own one too.
QString FolderPart(const QString& typed) {
  const qsizetype last =
      std::max(typed.lastIndexOf(FolderSeparator()), typed.lastIndexOf(QLatin1Char('/')));
  return typed.left(last + 1);
}

// The dialog's answer is one full path, or a folder followed by names, all
// separated by NUL characters.
void AddChosenFiles(ZVRImageList& list, const QString& chosen) {
  StringList files;
  files.SetSeparator(QString(QChar(u'\0')));
  files.SetQuoteBegin(QString());
  files.SetQuoteEnd(QString());
  files.SetText(chosen);
  if (files.Count() == 1) {
    list.Add(files.Item(1));
    return;
  }
  for (int i = 2; i <= files.Count(); ++i) {
    list.Add(KitGlobal().EnsureTrailing(files.Item(1), FolderSeparator()) + files.Item(i));
  }
}

}  // namespace

void frmMain::cmdImageListAdd_Click() {
  const QString typed = txtImageListAdd_->text();
  if (typed.isEmpty()) {
    ShowNoValidFile();
    return;
  }
  const auto list = modMain::SharedImageList();
  if (KitGlobal().FileExists(typed)) {
    list->Add(typed);
    RefreshListBox();
    return;
  }
  // Not a file: a pattern whose last element may hold "*" and "?". A pattern
  // the listing rejects outright has no match either.
  const QStringList matches = CurrentPlatform().patterns->Matches(typed);
  if (matches.isEmpty()) {
    ShowNoValidFile();
    return;
  }
  const QString folder = FolderPart(typed);
  for (const QString& name : matches) list->Add(folder + name);
  RefreshListBox();
}

void frmMain::cmdImageListAddOpen_Click() {
  FileDialog dialog({.noEffect1 = 0,
                     .noEffect2 = 0,
                     .noEffect3 = -1,
                     .fileTypes = QLatin1String(kDialogFileTypes),
                     .noEffect5 = 0,
                     .noEffect6 = -1,
                     .startFolder = LastDialogFolder,
                     .noEffect8 = -1,
                     .noEffect9 = -1,
                     .noEffect10 = 0,
                     .noEffect11 = 0,
                     .noEffect12 = 0,
                     .noEffect13 = 0,
                     .noEffect14 = -1});
  dialog.Show(this);
  if (dialog.Cancelled()) return;
  const auto list = modMain::SharedImageList();
  AddChosenFiles(*list, dialog.FileNames());
  // A list that is still empty has no last entry; the text box then keeps
  // what the user typed.
  if (list->Count() > 0) txtImageListAdd_->setText(list->FileName(list->Count()));
  RefreshListBox();
  LastDialogFolder = dialog.StartFolder();
}

QList<int> frmMain::SelectedPositions() const {
  QList<int> positions;
  for (int i = 0; i < lstImageList_->count(); ++i) {
    if (lstImageList_->item(i)->isSelected()) positions.append(i + 1);
  }
  return positions;
}

void frmMain::cmdImageListRemove_Click() {
  modMain::SharedImageList()->RemoveSelected(SelectedPositions());
  RefreshListBox();
}

// From the top, so that a block of adjacent selected entries moves together.
void frmMain::cmdImageListUp_Click() {
  modMain::SharedImageList()->MoveSelectedUp(SelectedPositions());
  RefreshListBox();
}

// From the bottom, for the same reason.
void frmMain::cmdImageListDown_Click() {
  modMain::SharedImageList()->MoveSelectedDown(SelectedPositions());
  RefreshListBox();
}
