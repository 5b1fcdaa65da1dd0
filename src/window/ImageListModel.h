#pragma once

#include <QAbstractListModel>
#include <QFontMetrics>
#include <QStringList>

// The entries of the list box: one string list, shown one name a row. The
// list view lays every row out at the size of the first (uniform item sizes),
// so that size is as wide as the widest name: long names stay reachable by
// scrolling, and a million rows lay out at once.
class ImageListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // Replaces every entry; names are measured with the view's font.
  void SetEntries(QStringList entries, const QFontMetrics& metrics);
  // Appends rows, widening every row when one of them is wider.
  void AppendEntries(const QStringList& entries, const QFontMetrics& metrics);
  const QStringList& Entries() const { return entries_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  // Makes every row as wide as the widest of these names, if wider.
  void Widen(const QStringList& names, const QFontMetrics& metrics);

  QStringList entries_;
  QSize rowSize_;
};
