#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>

#include "kit/StringList.h"

// The ordered list of image file names on which the program works. Positions
// are 1-based; names are kept exactly as passed in and compared exactly
// (case-sensitive, whole text); duplicates are allowed. Only names of files
// that exist at the moment of adding enter the list. A member that fails
// leaves the list as it was.
class ZVRImageList {
 public:
  // Appends the name when it names an existing file; otherwise does nothing.
  void Add(const QString& FileName);
  // Appends, in their order, the names that name existing files: what Add
  // of each would do, with the files looked up on every processor core.
  void Add(const QStringList& FileNames);
  // Appends the entries of another list in its order, which is left
  // empty: their files were looked up as they entered it.
  void Append(ZVRImageList&& Other);
  void Clear();
  int Count() const;
  // The entry at a 1-based position; outside 1 to Count() it is error 9.
  QString FileName(int Index) const;
  // A new string list holding the entries in order, separated by "; " and
  // quoted with double quotes, as the stored list text is written.
  std::unique_ptr<StringList> FileNames() const;
  // Replaces the content by the items of NewValue that name existing files;
  // nullptr empties the list.
  void FileNames(const StringList* NewValue);
  // The position of the first entry equal to Content; "Invalid Parameter"
  // when there is none.
  int IndexFromContent(const QString& Content) const;
  // Puts the first entry equal to FileName at position Index (1 to Count()).
  void Move(const QString& FileName, int Index);
  // One place towards the end; the last entry wraps to the front.
  void MoveDown(const QString& FileName);
  // One place towards the front; the first entry wraps to the end.
  void MoveUp(const QString& FileName);
  // Iteration over the entries in list order (range-for).
  QStringList::const_iterator begin() const { return entries_.cbegin(); }
  QStringList::const_iterator end() const { return entries_.cend(); }
  // The entry after (before) the first entry equal to FileName. At the last
  // (first) entry it wraps when Rotate is true and is "Invalid Parameter"
  // otherwise; a name not in the list is always "Invalid Parameter".
  QString NextFileName(const QString& FileName, bool Rotate) const;
  QString PrevFileName(const QString& FileName, bool Rotate) const;
  // Removes the first entry equal to FileName; error 9 when there is none.
  void Remove(const QString& FileName);

  // The commands on a selection of 1-based positions (any order, repeats
  // count once; one outside 1 to Count() is error 9). Each is one pass over
  // the list with exactly the result of the entry-by-entry calls the window
  // has always made with the selected entries' names: Remove of each, MoveUp
  // of each from the top, MoveDown of each from the bottom. Those act on the
  // first entry of a name, so with duplicates selected they may move or
  // remove entries other than the selected ones. RemoveSelected returns
  // where the entry at position Follow went (the window's current entry):
  // the position of the entry now at its place, which is Count() + 1 when
  // none is left after it. The moves return where the entries at the
  // positions Follow went (the window's current entry and its selection), in
  // their order: the position of that same entry. A position of 0 follows
  // nothing and gives 0.
  int RemoveSelected(const QList<int>& Positions, int Follow = 0);
  QList<int> MoveSelectedUp(const QList<int>& Positions, const QList<int>& Follow = {});
  QList<int> MoveSelectedDown(const QList<int>& Positions, const QList<int>& Follow = {});

  // Calls visit with each item of a stored list text, in order, until visit
  // returns false.
  using StoredItems = std::function<void(const std::function<bool(QStringView)>& visit)>;
  // What NextFileName(FileName, true) gives on the list loaded from a stored
  // list text (its items as forEachItem gives them, names of missing files
  // left out), without loading it: only the files of the entry equal to
  // FileName and of those stepped over after it are checked. Skipped is told
  // each name of a missing file stepped over.
  static QString NextStoredFileName(const StoredItems& forEachItem, const QString& FileName,
                                    const std::function<void(QStringView)>& Skipped = nullptr);

  ZVRImageList();

 private:
  // 1-based position of the first entry equal to FileName, 0 for none.
  int IndexOf(const QString& FileName) const;
  QList<int> MoveSelected(const QList<int>& Positions, bool Up, const QList<int>& Follow);

  QStringList entries_;
};
