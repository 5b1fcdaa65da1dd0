#include "window/ImageListModel.h"

#include <QFontMetrics>
#include <QList>

#include <algorithm>
#include <functional>
#include <utility>

#include "imagelist/ZVRImageList.h"

namespace {

// Room for the view's own item margins beside the text.
constexpr int kTextMargin = 8;
// Measuring every name of a large list would cost more than the layout it
// replaces; the longest names by character count are the widest ones in
// practice, give or take a few wide letters.
constexpr qsizetype kMeasuredNames = 64;

int WidestName(QStringList::const_iterator begin, QStringList::const_iterator end,
               const QFontMetrics& metrics) {
  QList<qsizetype> lengths;
  lengths.reserve(end - begin);
  for (auto name = begin; name != end; ++name) lengths.append(name->size());
  const qsizetype measured = std::min(kMeasuredNames, lengths.size());
  std::nth_element(lengths.begin(), lengths.begin() + (measured ? measured - 1 : 0), lengths.end(),
                   std::greater<>());
  const qsizetype shortest = measured ? lengths[measured - 1] : 0;
  // Names as long as the shortest measured one fill only the places the
  // longer ones leave: a collection of numbered photos has one length.
  qsizetype ties = measured - std::count_if(lengths.cbegin(), lengths.cbegin() + measured,
                                            [shortest](qsizetype n) { return n > shortest; });
  int widest = 0;
  for (auto name = begin; name != end; ++name) {
    if (name->size() > shortest || (name->size() == shortest && ties-- > 0)) {
      widest = std::max(widest, metrics.horizontalAdvance(*name));
    }
  }
  return widest;
}

}  // namespace

void ImageListModel::ShowEntries(std::shared_ptr<const ZVRImageList> list, const QFont& font) {
  beginResetModel();
  list_ = std::move(list);
  rows_ = list_ ? list_->Count() : 0;
  rowSize_ = QSize();
  shownRow_ = -1;
  Widen(0, font);
  endResetModel();
}

void ImageListModel::ShowAppended(const QFont& font) {
  const int first = rows_;
  if (!list_ || list_->Count() == first) return;
  beginInsertRows(QModelIndex(), first, list_->Count() - 1);
  rows_ = list_->Count();
  // The view takes the new size when it lays the rows out again.
  Widen(first, font);
  endInsertRows();
}

QString ImageListModel::Entry(int row) const { return list_->FileName(row + 1); }

void ImageListModel::SetShownRow(int row) {
  // Every change of a row lays the whole list box out again: a change that
  // changes nothing costs nothing.
  if (row == shownRow_) return;
  const int previous = std::exchange(shownRow_, row);
  for (const int changed : {previous, row}) {
    if (changed >= 0 && changed < rowCount()) {
      emit dataChanged(index(changed), index(changed), {Qt::FontRole});
    }
  }
}

void ImageListModel::Widen(int firstRow, const QFont& font) {
  QFont bold = font;
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  const int widest = list_ ? WidestName(list_->begin() + firstRow, list_->end(), metrics) : 0;
  rowSize_ =
      QSize(std::max(rowSize_.width(), widest + kTextMargin), metrics.height() + kTextMargin / 4);
}

int ImageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

QVariant ImageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  if (role == Qt::DisplayRole) return Entry(index.row());
  if (role == Qt::SizeHintRole) return rowSize_;
  if (role == Qt::FontRole && index.row() == shownRow_) {
    // Only the weight: the view's own font gives the rest.
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  return {};
}
