#pragma once

#include <QAbstractListModel>
#include <QFont>
#include <QSize>
#include <QStringList>

// The entries of the list box: one string list, shown one name a row. The
// list view lays every row out at the size of the first (uniform item sizes),
// so that size is as wide as the widest name: long names stay reachable by
// scrolling, and a million rows lay out at once. The entry on show is drawn
// bold, so that it stands out whether or not it is selected; names are
// measured bold, so that it fits.
class ImageListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Replaces every entry, none on show; names are measured in the view's
  // font.
  void SetEntries(QStringList entries, const QFont& font);
  // Appends rows, widening every row when one of them is wider.
  void AppendEntries(const QStringList& entries, const QFont& font);
  const QStringList& Entries() const { return entries_; }
  // The row of the entry on show; -1 for none.
  void SetShownRow(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  // Makes every row as wide as the widest of these names, if wider.
  void Widen(const QStringList& names, const QFont& font);

  QStringList entries_;
  QSize rowSize_;
  int shownRow_ = -1;
};
