// The five commands of the image list frame. Each changes the shared image
// list and then refills the list box from it; none edits the list box itself.

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QStringList>

#include <algorithm>

#include "imagelist/ZVRImageList.h"
#include "kit/FileDialog.h"
#include "kit/KitGlobal.h"
#include "kit/StringList.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"
#include "window/ImageListModel.h"
#include "window/PictureFiles.h"
#include "window/frmMain.h"

namespace {

constexpr char kNoValidFile[] = "No Valid File.";
// The second line of "No Valid File.": what was looked for.
constexpr char kNothingTyped[] =
    "Nothing was typed: type a picture file, a folder or a pattern such as ~/Pictures/*.jpg.";
constexpr char kNoMatch[] = "No file matches \"%1\"; check the folder and the pattern.";
constexpr char kNoSuchFile[] = "There is no file or folder \"%1\"; check the name.";
constexpr char kNoPictureIn[] =
    "The folder \"%1\" holds no picture of a format this installation reads.";
// The file-type list: every picture format first (chosen when the dialog
// opens), then the two classic entries.
constexpr char kPicturesType[] = "Pictures (%1)|%2";
constexpr char kClassicFileTypes[] =
    "Bitmap-Dateien (*.bmp; *.dib)|*.bmp; *.dib|Alle Dateien (*.*)|*.*";

// The message, and after it the cause naming what was looked for.
void ShowNoValidFile(const char* cause, const QString& name = {}) {
  QString line = QString::fromLatin1(cause);
  if (!name.isNull()) line = line.arg(modMain::EscapeControlCharacters(name));
  CurrentPlatform().messages->Show(QLatin1String(kNoValidFile) + QStringLiteral("\r\n") + line,
                                   kStyleOkOnly, modMain::ApplicationTitle());
}

QString DialogFileTypes() {
  const QStringList patterns = PicturePatterns();
  return QString::fromLatin1(kPicturesType)
             .arg(patterns.join(QLatin1Char(' ')), patterns.join(QStringLiteral("; "))) +
         QLatin1Char('|') + QLatin1String(kClassicFileTypes);
}

// "~" alone or before a folder separator stands for the home folder, as in
// a shell.
QString WithHomeFolder(const QString& typed) {
  const QString home = QDir::toNativeSeparators(QDir::homePath());
  if (typed == QLatin1String("~")) return home;
  const bool underHome = typed.startsWith(QLatin1String("~/")) ||
                         typed.startsWith(QLatin1Char('~') + FolderSeparator());
  return underHome ? home + typed.mid(1) : typed;
}

// The typed text up to and including its last folder separator; empty when
// it has none. "/" counts on every platform, the platform's own one too.
QString FolderPart(const QString& typed) {
  const qsizetype last =
      std::max(typed.lastIndexOf(FolderSeparator()), typed.lastIndexOf(QLatin1Char('/')));
  return typed.left(last + 1);
}

// The typed name or pattern as an absolute one: a relative text is taken as
// relative to the program's current folder ("./" and "../" resolved). The list then names the same
// files wherever the program starts later (a logon entry starts it in the
// home folder), and no name can pass for an option of a wallpaper command.
QString Absolute(const QString& typed) {
  if (!QDir::isRelativePath(typed)) return typed;
  return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(typed)));
}

// The dialog's answer is one full path, or a folder followed by names, all
// separated by NUL characters.
QStringList ChosenFiles(const QString& chosen) {
  StringList files;
  files.SetSeparator(QString(QChar(u'\0')));
  files.SetQuoteBegin(QString());
  files.SetQuoteEnd(QString());
  files.SetText(chosen);
  if (files.Count() == 1) return {files.Item(1)};
  QStringList names;
  for (int i = 2; i <= files.Count(); ++i) {
    names.append(KitGlobal().EnsureTrailing(files.Item(1), FolderSeparator()) + files.Item(i));
  }
  return names;
}

}  // namespace

// Every command acts on the whole list: one given while a long list is
// still loading waits for the rest of it first.

void frmMain::cmdImageListAdd_Click() {
  modMain::FinishLoadingImageListSetting();
  if (txtImageListAdd_->text().isEmpty()) {
    ShowNoValidFile(kNothingTyped);
    return;
  }
  const QString typed = Absolute(WithHomeFolder(txtImageListAdd_->text()));
  if (KitGlobal().FileExists(typed)) {
    AddEntries({typed});
    return;
  }
  // A folder adds its pictures, as a dropped one does.
  if (QFileInfo(typed).isDir()) {
    const QStringList pictures = PictureFilesIn(typed);
    if (pictures.isEmpty()) {
      ShowNoValidFile(kNoPictureIn, typed);
    } else {
      AddEntries(pictures);
    }
    return;
  }
  // Not a file: a pattern whose last element may hold "*" and "?". A pattern
  // the listing rejects outright has no match either.
  const QStringList matches = CurrentPlatform().patterns->Matches(typed);
  if (matches.isEmpty()) {
    const bool pattern = typed.contains(QLatin1Char('*')) || typed.contains(QLatin1Char('?'));
    ShowNoValidFile(pattern ? kNoMatch : kNoSuchFile, typed);
    return;
  }
  const QString folder = FolderPart(typed);
  QStringList names;
  for (const QString& name : matches) names.append(folder + name);
  AddEntries(names);
}

void frmMain::AddEntries(const QStringList& names) {
  modMain::FinishLoadingImageListSetting();
  modMain::SharedImageList()->Add(names);
  const int current = CurrentRow();
  RefreshListBox(current == -1 ? 0 : current);
}

void frmMain::cmdImageListAddOpen_Click() {
  FileDialog dialog({.noEffect1 = 0,
                     .noEffect2 = 0,
                     .noEffect3 = -1,
                     .fileTypes = DialogFileTypes(),
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
  AddEntries(ChosenFiles(dialog.FileNames()));
  // A list that is still empty has no last entry; the text box then keeps
  // what the user typed.
  if (list->Count() > 0) txtImageListAdd_->setText(list->FileName(list->Count()));
  LastDialogFolder = dialog.StartFolder();
}

QList<int> frmMain::SelectedPositions() const {
  // The selection's ranges, not selectedRows(), which checks each row
  // against every range and keeps a set of the rows seen: a second for a
  // million rows. A row in two ranges counts once in the list's commands.
  QList<int> positions;
  for (const QItemSelectionRange& range : lstImageList_->selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) positions.append(row + 1);
  }
  return positions;
}

// Each command is one pass over the list, whatever the selection, and says
// where the current entry went.
void frmMain::cmdImageListRemove_Click() {
  modMain::FinishLoadingImageListSetting();
  const auto list = modMain::SharedImageList();
  RefreshListBox(list->RemoveSelected(SelectedPositions(), CurrentRow() + 1) - 1);
}

void frmMain::cmdImageListUp_Click() { MoveSelection(true); }

void frmMain::cmdImageListDown_Click() { MoveSelection(false); }

// The moved entries stay selected, so that a second press moves them on.
void frmMain::MoveSelection(bool up) {
  modMain::FinishLoadingImageListSetting();
  const auto list = modMain::SharedImageList();
  const QList<int> selected = SelectedPositions();
  QList<int> went = up ? list->MoveSelectedUp(selected, QList<int>{CurrentRow() + 1} + selected)
                       : list->MoveSelectedDown(selected, QList<int>{CurrentRow() + 1} + selected);
  RefreshListBox(went.takeFirst() - 1);
  // One range per run of adjacent rows: a whole list selected is one range.
  std::sort(went.begin(), went.end());
  QItemSelection rows;
  for (qsizetype i = 0; i < went.size();) {
    qsizetype last = i;
    while (last + 1 < went.size() && went[last + 1] == went[last] + 1) ++last;
    rows.select(entries_->index(went[i] - 1), entries_->index(went[last] - 1));
    i = last + 1;
  }
  lstImageList_->selectionModel()->select(rows, QItemSelectionModel::Select);
}
