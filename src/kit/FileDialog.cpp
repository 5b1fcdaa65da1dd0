#include "kit/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

FileDialog::Answerer& InstalledAnswerer() {
  static FileDialog::Answerer answerer;
  return answerer;
}

FileDialog::Answer AskUser(QFileDialog& dialog) {
  const bool accepted = dialog.exec() == QDialog::Accepted;
  return {accepted, dialog.selectedFiles(), dialog.directory().absolutePath()};
}

QString WithSlash(const QString& folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The deepest folder holding every file. The dialog's files normally share
// one folder; a user who typed names of several folders still gets names
// that lead to the right files once put after the folder.
QString CommonFolder(const QStringList& files) {
  QString folder = QFileInfo(files.first()).path();
  const auto inFolder = [&folder](const QString& file) {
    return file.startsWith(WithSlash(folder));
  };
  while (!std::all_of(files.begin(), files.end(), inFolder)) {
    const QString parent = QFileInfo(folder).path();
    if (parent == folder) return QString();
    folder = parent;
  }
  return folder;
}

// One file as its full path; several as their folder and their names, all
// separated by NUL characters.
QString JoinedFileNames(const QStringList& files) {
  if (files.size() <= 1) return files.value(0);
  const QString folder = CommonFolder(files);
  const qsizetype skip = folder.isEmpty() ? 0 : WithSlash(folder).size();
  QStringList parts{folder};
  for (const QString& file : files) parts.append(file.mid(skip));
  return parts.join(QChar(u'\0'));
}

// "*.bmp; *.dib" as "*.bmp *.dib". The classic "*.*" means every file,
// also those without a dot, which is "*" here.
QString FilterPatterns(const QString& patterns) {
  QStringList result;
  for (const QString& pattern : patterns.split(QLatin1Char(';'))) {
    const QString trimmed = pattern.trimmed();
    if (trimmed.isEmpty()) continue;
    result.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
  }
  return result.join(QLatin1Char(' '));
}

}  // namespace

FileDialog::FileDialog(FileDialogSettings settings) : settings_(std::move(settings)) {}

FileDialog::Answerer FileDialog::SetAnswerer(Answerer answerer) {
  return std::exchange(InstalledAnswerer(), std::move(answerer));
}

QStringList FileDialog::NameFilters(const QString& fileTypes) {
  const QStringList parts = fileTypes.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // The dialog hides the trailing "(patterns)", so the user sees the
    // label exactly as given while the patterns do the filtering.
    filters.append(parts[i].trimmed() + QStringLiteral(" (") + FilterPatterns(parts[i + 1]) +
                   QLatin1Char(')'));
  }
  return filters;
}

void FileDialog::Show(QWidget* owner) {
  QFileDialog dialog(owner, QString(), settings_.startFolder);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList filters = NameFilters(settings_.fileTypes);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  const Answerer& answerer = InstalledAnswerer();
  TakeAnswer(answerer ? answerer(dialog) : AskUser(dialog));
}

void FileDialog::TakeAnswer(const Answer& answer) {
  cancelled_ = !answer.accepted;
  if (cancelled_) return;
  // The dialog answers with "/" on every platform; the names go on in the
  // platform's own separators, as a user types them.
  fileNames_ = QDir::toNativeSeparators(JoinedFileNames(answer.files));
  settings_.startFolder = answer.folder;
}
