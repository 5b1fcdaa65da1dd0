#include "kit/StringList.h"

#include <utility>

#include "errors/ProgramError.h"

namespace {

[[noreturn]] void ThrowSubscriptOutOfRange() {
  throw ProgramError(kErrSubscriptOutOfRange, QStringLiteral("ZKit10"),
                     QStringLiteral("Subscript out of range"));
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
  const QString doubledEnd = quoteEnd_ + quoteEnd_;
  QString text;
  for (qsizetype i = 0; i < items_.size(); ++i) {
    if (i > 0) text += separator_;
    QString item = items_.at(i);
    text += quoteBegin_ + item.replace(quoteEnd_, doubledEnd) + quoteEnd_;
  }
  return text;
}

void StringList::SetText(const QString& text) {
  if (text.isEmpty()) {
    items_.clear();
  } else if (Quoting()) {
    items_ = SplitQuoted(text);
  } else if (separator_.isEmpty()) {
    items_ = QStringList{text};
  } else {
    items_ = text.split(separator_, Qt::KeepEmptyParts);
  }
}

QStringList StringList::SplitQuoted(const QString& text) const {
  // Works in runs between the next quote or separator rather than character
  // by character: stored lists hold hundreds of thousands of names.
  QStringList items;
  QString current;
  bool inItem = false;  // a quote or a character has started the current item
  const QStringView view(text);
  qsizetype pos = 0;
  while (pos < text.size()) {
    const qsizetype separatorAt = separator_.isEmpty() ? -1 : text.indexOf(separator_, pos);
    const qsizetype quoteAt = text.indexOf(quoteBegin_, pos);
    if (quoteAt >= 0 && (separatorAt < 0 || quoteAt < separatorAt)) {
      current += view.mid(pos, quoteAt - pos);
      inItem = true;
      pos = ReadQuoted(text, quoteAt + quoteBegin_.size(), current);
    } else if (separatorAt >= 0) {
      current += view.mid(pos, separatorAt - pos);
      if (inItem || separatorAt > pos) items.append(std::exchange(current, QString()));
      inItem = false;
      pos = separatorAt + separator_.size();
    } else {
      current += view.mid(pos);
      inItem = true;
      pos = text.size();
    }
  }
  if (inItem) items.append(current);
  return items;
}

qsizetype StringList::ReadQuoted(const QString& text, qsizetype pos, QString& item) const {
  // A doubled closing quote stands for one; an unterminated quote runs to the
  // end of the text.
  const QStringView view(text);
  while (pos < text.size()) {
    const qsizetype endAt = text.indexOf(quoteEnd_, pos);
    if (endAt < 0) break;
    item += view.mid(pos, endAt - pos);
    pos = endAt + quoteEnd_.size();
    if (!view.mid(pos).startsWith(quoteEnd_)) return pos;
    item += quoteEnd_;
    pos += quoteEnd_.size();
  }
  item += view.mid(pos);
  return text.size();
}
