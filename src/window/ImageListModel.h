#pragma once

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QString>

#include <memory>

class ZVRImageList;

// The rows of the list box: the entries of an image list, one name a row,
// read from the list itself, so that the list box holds no copy of a long
// list. The rows change only when the window says so: the list shown is
// never read beyond the rows it was shown with. The list view lays every row
// out at the size of the first (uniform item sizes), so that size is as wide
// as the widest name: long names stay reachable by scrolling, and a million
// rows lay out at once.
class ImageListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Shows every entry of the list anew (none without one); names are
  // measured with the view's font.
  void ShowEntries(std::shared_ptr<const ZVRImageList> list, const QFontMetrics& metrics);
  // Shows rows for the entries the list has gained at its end since,
  // widening every row when one of them is wider.
  void ShowAppended(const QFontMetrics& metrics);
  // The name on a row (0-based).
  QString Entry(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  // Makes every row as wide as the widest name from the row on, if wider.
  void Widen(int firstRow, const QFontMetrics& metrics);

  std::shared_ptr<const ZVRImageList> list_;
  int rows_ = 0;
  QSize rowSize_;
};
