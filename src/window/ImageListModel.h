#pragma once

#include <QAbstractListModel>
#include <QFont>
#include <QSize>
#include <QString>

#include <memory>

class ZVRImageList;

// The rows of the list box: the entries of an image list, one name a row,
// read from the list itself, so that the list box holds no copy of a long
// list. The rows change only when the window says so: the list shown is
// never read beyond the rows it was shown with. The list view lays every row
// out at the size of the first (uniform item sizes), so that size is as wide
// as the widest name: long names stay reachable by scrolling, and a million
// rows lay out at once. The entry on show is drawn bold, so that it stands
// out whether or not it is selected; names are measured bold, so that it
// fits.
class ImageListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Shows every entry of the list anew (none without one), none on show;
  // names are measured in the view's font.
  void ShowEntries(std::shared_ptr<const ZVRImageList> list, const QFont& font);
  // Shows rows for the entries the list has gained at its end since,
  // widening every row when one of them is wider.
  void ShowAppended(const QFont& font);
  // The name on a row (0-based).
  QString Entry(int row) const;
  // The row of the entry on show; -1 for none.
  void SetShownRow(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  // Makes every row as wide as the widest name from the row on, if wider.
  void Widen(int firstRow, const QFont& font);

  std::shared_ptr<const ZVRImageList> list_;
  int rows_ = 0;
  QSize rowSize_;
  int shownRow_ = -1;
};
