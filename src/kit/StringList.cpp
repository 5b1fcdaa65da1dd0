#include "kit/StringList.h"

#include <utility>

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
  QString text;
  TextInPieces([&text](QStringView piece) { text += piece; });
  return text;
}

void StringList::TextInPieces(const std::function<void(QStringView)>& take) const {
  constexpr qsizetype kPiece = 1 << 16;
  QString piece;
  const auto put = [&piece, &take](QStringView text) {
    piece += text;
    if (piece.size() < kPiece) return;
    take(piece);
    piece.truncate(0);  // keeps the room for the next piece
  };
  for (qsizetype i = 0; i < items_.size(); ++i) {
    if (i > 0) put(separator_);
    if (!Quoting()) {
      put(items_.at(i));
      continue;
    }
    put(quoteBegin_);
    // Each QuoteEnd inside the item is doubled.
    const QStringView item(items_.at(i));
    qsizetype pos = 0;
    for (qsizetype endAt = item.indexOf(quoteEnd_); endAt >= 0;
         endAt = item.indexOf(quoteEnd_, pos)) {
      put(item.sliced(pos, endAt + quoteEnd_.size() - pos));
      put(quoteEnd_);
      pos = endAt + quoteEnd_.size();
    }
    put(item.sliced(pos));
    put(quoteEnd_);
  }
  if (!piece.isEmpty()) take(piece);
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
  bool stopped = false;
  Split(text, true, visit, stopped);
}

qsizetype StringList::Split(QStringView text, bool last,
                            const std::function<bool(QStringView)>& visit, bool& stopped) const {
  if (Quoting()) return SplitQuoted(text, last, visit, stopped);
  if (separator_.isEmpty()) {
    if (!last) return 0;
    stopped = !visit(text);
    return text.size();
  }
  for (qsizetype pos = 0;;) {
    const qsizetype separatorAt = text.indexOf(separator_, pos);
    if (separatorAt < 0) {
      if (!last) return pos;
      stopped = !visit(text.mid(pos));
      return text.size();
    }
    if (!visit(text.mid(pos, separatorAt - pos))) {
      stopped = true;
      return text.size();
    }
    pos = separatorAt + separator_.size();
  }
}

qsizetype StringList::SplitQuoted(QStringView text, bool last,
                                  const std::function<bool(QStringView)>& visit,
                                  bool& stopped) const {
  NextMatch separator(text, separator_);
  NextMatch quote(text, quoteBegin_);
  ItemPieces item;
  bool inItem = false;  // a quote or a character has started the current item
  qsizetype pos = 0;
  qsizetype itemStart = 0;  // after the separator that ended the last item
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
        if (!visit(item.Item())) {
          stopped = true;
          return text.size();
        }
        item.Clear();
      }
      inItem = false;
      pos = separatorAt + separator_.size();
      itemStart = pos;
    } else {
      item.Append(text.mid(pos));
      inItem = true;
      pos = text.size();
    }
  }
  if (!last) return itemStart;
  if (inItem) stopped = !visit(item.Item());
  return text.size();
}

StringList::Splitter::Splitter(const StringList& format, std::function<bool(QStringView)> visit)
    : format_(format), visit_(std::move(visit)) {}

bool StringList::Splitter::Add(QStringView piece) {
  if (stopped_ || piece.isEmpty()) return !stopped_;
  anyText_ = true;
  held_ += piece;
  // An item longer than the pieces is read again only once the text held
  // has doubled, so that one huge item costs a pass, not a pass a piece.
  if (held_.size() >= 2 * unfinished_) Split(false);
  return !stopped_;
}

void StringList::Splitter::Finish() {
  if (!stopped_ && anyText_) Split(true);
  held_.clear();
}

void StringList::Splitter::Split(bool last) {
  const qsizetype done = format_.Split(held_, last, visit_, stopped_);
  held_.remove(0, done);
  unfinished_ = held_.size();
}
