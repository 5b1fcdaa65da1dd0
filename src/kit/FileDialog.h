#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "zkit10_export.h"

class QFileDialog;
class QWidget;

// The settings of one open-file dialog, in the order in which callers give
// them (designated initialisers keep that order visible at the call site).
// Only the file-type list and the starting folder change the dialog. The
// other twelve are accepted for callers that pass them and have no effect:
// the dialog always lets the user choose one or several existing files.
struct FileDialogSettings {
  int noEffect1 = 0;
  int noEffect2 = 0;
  int noEffect3 = 0;
  // Entries "label|patterns", joined by further "|"; the patterns of one
  // entry are separated by ";" ("*.bmp; *.dib").
  QString fileTypes;
  int noEffect5 = 0;
  int noEffect6 = 0;
  // Where the dialog opens; empty means the current folder.
  QString startFolder;
  int noEffect8 = 0;
  int noEffect9 = 0;
  int noEffect10 = 0;
  int noEffect11 = 0;
  int noEffect12 = 0;
  int noEffect13 = 0;
  int noEffect14 = 0;
};

// A modal open-file dialog for one use. After Show() it tells whether the
// user cancelled, the chosen files as one text, and its starting-folder
// setting, which a choice moves to the folder the user ended in, so that the
// next dialog opened with it starts there.
class ZKIT10_EXPORT FileDialog {
 public:
  // What a user did with the dialog: the files chosen (full paths) and the
  // folder the dialog showed last. Nothing accepted means cancelled.
  struct Answer {
    bool accepted = false;
    QStringList files;
    QString folder;
  };
  // Answers a prepared dialog instead of a user, without showing it. Tests
  // install one to check how the dialog was set up and to choose files.
  using Answerer = std::function<Answer(const QFileDialog& dialog)>;

  explicit FileDialog(FileDialogSettings settings);

  // Shows the dialog modally over the owner and returns when it is closed.
  void Show(QWidget* owner = nullptr);

  bool Cancelled() const { return cancelled_; }
  // One full path when one file was chosen; otherwise their folder followed
  // by the names, all separated by NUL characters. Empty after cancelling.
  const QString& FileNames() const { return fileNames_; }
  const QString& StartFolder() const { return settings_.startFolder; }

  // Installs the answerer used instead of the user; an empty one restores
  // the real dialog. Returns the previous one.
  static Answerer SetAnswerer(Answerer answerer);

  // The file-type list as name filters of QFileDialog: each label keeps its
  // text and filters with its patterns separated by blanks, "*.*" being "*"
  // so that names without a dot show too.
  static QStringList NameFilters(const QString& fileTypes);

 private:
  void TakeAnswer(const Answer& answer);

  FileDialogSettings settings_;
  bool cancelled_ = true;
  QString fileNames_;
};
