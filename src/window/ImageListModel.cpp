#include "window/ImageListModel.h"

#include <QFontMetrics>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

// Room for the view's own item margins beside the text.
constexpr int kTextMargin = 8;
// Measuring every name of a large list would cost more than the layout it
// replaces; the longest names by character count are the widest ones in
// practice, give or take a few wide letters.
constexpr qsizetype kMeasuredNames = 64;

int WidestName(const QStringList& entries, const QFontMetrics& metrics) {
  QList<qsizetype> lengths;
  lengths.reserve(entries.size());
  for (const QString& entry : entries) lengths.append(entry.size());
  const qsizetype measured = std::min(kMeasuredNames, lengths.size());
  std::nth_element(lengths.begin(), lengths.begin() + (measured ? measured - 1 : 0), lengths.end(),
                   std::greater<>());
  const qsizetype shortest = measured ? lengths[measured - 1] : 0;
  // Names as long as the shortest measured one fill only the places the
  // longer ones leave: a collection of numbered photos has one length.
  qsizetype ties = measured - std::count_if(lengths.cbegin(), lengths.cbegin() + measured,
                                            [shortest](qsizetype n) { return n > shortest; });
  int widest = 0;
  for (const QString& entry : entries) {
    if (entry.size() > shortest || (entry.size() == shortest && ties-- > 0)) {
      widest = std::max(widest, metrics.horizontalAdvance(entry));
    }
  }
  return widest;
}

}  // namespace

void ImageListModel::SetEntries(QStringList entries, const QFont& font) {
  beginResetModel();
  entries_ = std::move(entries);
  rowSize_ = QSize();
  shownRow_ = -1;
  Widen(entries_, font);
  endResetModel();
}

void ImageListModel::AppendEntries(const QStringList& entries, const QFont& font) {
  if (entries.isEmpty()) return;
  const auto first = static_cast<int>(entries_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(entries.size()) - 1);
  entries_.append(entries);
  // The view takes the new size when it lays the rows out again.
  Widen(entries, font);
  endInsertRows();
}

void ImageListModel::SetShownRow(int row) {
  const int previous = std::exchange(shownRow_, row);
  for (const int changed : {previous, row}) {
    if (changed >= 0 && changed < rowCount()) {
      emit dataChanged(index(changed), index(changed), {Qt::FontRole});
    }
  }
}

void ImageListModel::Widen(const QStringList& names, const QFont& font) {
  QFont bold = font;
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  rowSize_ = QSize(std::max(rowSize_.width(), WidestName(names, metrics) + kTextMargin),
                   metrics.height() + kTextMargin / 4);
}

int ImageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant ImageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= entries_.size()) return {};
  if (role == Qt::DisplayRole) return entries_.at(index.row());
  if (role == Qt::SizeHintRole) return rowSize_;
  if (role == Qt::FontRole && index.row() == shownRow_) {
    // Only the weight: the view's own font gives the rest.
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  return {};
}
