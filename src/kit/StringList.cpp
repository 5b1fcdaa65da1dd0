#include "kit/StringList.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "kit/ProgramError.h"

namespace {

[[noreturn]] void ThrowSubscriptOutOfRange() {
  throw ProgramError(kErrSubscriptOutOfRange, QStringLiteral("ZKit10"),
                     QStringLiteral("Subscript out of range"));
}

// An item being read: a view into the text while it is one piece, a copy
// once a second piece joins it.
class ItemPieces {
 public:
  void Append(QStringView piece) {
    if (piece.isEmpty()) return;
    if (copy_.isNull() && view_.isEmpty()) {
      view_ = piece;
      return;
    }
    if (copy_.isNull()) copy_ = view_.toString();
    copy_ += piece;
  }
  QStringView Item() const { return copy_.isNull() ? view_ : QStringView(copy_); }
  void Clear() {
    view_ = QStringView();
    copy_ = QString();
  }

 private:
  QStringView view_;
  QString copy_;
};

// The next place of a text inside another at or after a position. It is
// searched for again only once the position has passed the place found
// before: searching anew for every item made a long list without quotes
// take the square of its length (17 s for 100,000 names).
class NextMatch {
 public:
  NextMatch(QStringView text, QStringView what) : text_(text), what_(what) {}
  qsizetype From(qsizetype pos) {
    if (what_.isEmpty()) return -1;
    if (at_ != -1 && at_ < pos) at_ = IndexOf(pos);
    return at_;
  }

 private:
  // Its first character is looked for alone, the fastest search there is,
  // and the rest compared where it stands.
  qsizetype IndexOf(qsizetype pos) const {
    for (pos = text_.indexOf(what_.front(), pos); pos >= 0;
         pos = text_.indexOf(what_.front(), pos + 1)) {
      if (text_.sliced(pos).startsWith(what_)) return pos;
    }
    return -1;
  }

  QStringView text_;
  QStringView what_;
  qsizetype at_ = -2;  // not searched yet
};

// Appends the quoted part that starts at pos to the item and returns the
// position after its closing quote. A doubled closing quote stands for one;
// an unterminated quote runs to the end of the text.
qsizetype ReadQuoted(QStringView text, QStringView quoteEnd, qsizetype pos, ItemPieces& item) {
  while (pos < text.size()) {
    const qsizetype endAt = text.indexOf(quoteEnd, pos);
    if (endAt < 0) break;
    item.Append(text.mid(pos, endAt - pos));
    pos = endAt + quoteEnd.size();
    if (!text.mid(pos).startsWith(quoteEnd)) return pos;
    item.Append(quoteEnd);
    pos += quoteEnd.size();
  }
  item.Append(text.mid(pos));
  return text.size();
}

}  // namespace

void StringList::Add(const QString& item, int index) {
  if (index == -1) {
    items_.append(item);
    return;
  }
  if (index < 1 || index > Count() + 1) ThrowSubscriptOutOfRange();
  items_.insert(index - 1, item);
}

QString StringList::Item(int index) const {
  if (index < 1 || index > Count()) ThrowSubscriptOutOfRange();
  return items_.at(index - 1);
}

QString StringList::Text() const {
  if (!Quoting()) return items_.join(separator_);
  // A stored list can hold a million names: the text is sized first and
  // each item copied into it once; only an item holding QuoteEnd is
  // copied piece by piece, with each QuoteEnd doubled.
  std::vector<qsizetype> quotesInside(static_cast<size_t>(items_.size()));
  qsizetype size = 0;
  for (qsizetype i = 0; i < items_.size(); ++i) {
    const QString& item = items_.at(i);
    // Counted as they are doubled: left to right, one after another.
    for (qsizetype at = item.indexOf(quoteEnd_); at >= 0;
         at = item.indexOf(quoteEnd_, at + quoteEnd_.size())) {
      ++quotesInside[i];
    }
    size += (i > 0 ? separator_.size() : 0) + quoteBegin_.size() + item.size() +
            (quotesInside[i] + 1) * quoteEnd_.size();
  }
  QString text(size, Qt::Uninitialized);
  QChar* out = text.data();
  const auto put = [&out](QStringView piece) {
    std::copy(piece.begin(), piece.end(), out);
    out += piece.size();
  };
  for (qsizetype i = 0; i < items_.size(); ++i) {
    if (i > 0) put(separator_);
    put(quoteBegin_);
    const QStringView item(items_.at(i));
    for (qsizetype pos = 0, left = quotesInside[i];; --left) {
      const qsizetype endAt = left > 0 ? item.indexOf(quoteEnd_, pos) : item.size();
      put(item.mid(pos, endAt - pos));
      if (left == 0) break;
      put(quoteEnd_);
      put(quoteEnd_);
      pos = endAt + quoteEnd_.size();
    }
    put(quoteEnd_);
  }
  return text;
}

void StringList::SetText(const QString& text) {
  QStringList items;
  ForEachItem(text, [&items](QStringView item) {
    items.append(item.toString());
    return true;
  });
  items_ = std::move(items);
}

void StringList::ForEachItem(QStringView text,
                             const std::function<bool(QStringView)>& visit) const {
  if (text.isEmpty()) return;
  if (Quoting()) {
    ForEachQuoted(text, visit);
    return;
  }
  if (separator_.isEmpty()) {
    visit(text);
    return;
  }
  for (qsizetype pos = 0;;) {
    const qsizetype separatorAt = text.indexOf(separator_, pos);
    if (separatorAt < 0) {
      visit(text.mid(pos));
      return;
    }
    if (!visit(text.mid(pos, separatorAt - pos))) return;
    pos = separatorAt + separator_.size();
  }
}

void StringList::ForEachQuoted(QStringView text,
                               const std::function<bool(QStringView)>& visit) const {
  NextMatch separator(text, separator_);
  NextMatch quote(text, quoteBegin_);
  ItemPieces item;
  bool inItem = false;  // a quote or a character has started the current item
  qsizetype pos = 0;
  while (pos < text.size()) {
    const qsizetype separatorAt = separator.From(pos);
    const qsizetype quoteAt = quote.From(pos);
    if (quoteAt >= 0 && (separatorAt < 0 || quoteAt < separatorAt)) {
      item.Append(text.mid(pos, quoteAt - pos));
      inItem = true;
      pos = ReadQuoted(text, quoteEnd_, quoteAt + quoteBegin_.size(), item);
    } else if (separatorAt >= 0) {
      item.Append(text.mid(pos, separatorAt - pos));
      if (inItem || separatorAt > pos) {
        if (!visit(item.Item())) return;
        item.Clear();
      }
      inItem = false;
      pos = separatorAt + separator_.size();
    } else {
      item.Append(text.mid(pos));
      inItem = true;
      pos = text.size();
    }
  }
  if (inItem) visit(item.Item());
}
