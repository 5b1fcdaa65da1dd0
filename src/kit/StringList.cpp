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
  QStringList items;
  QString current;
  bool inItem = false;  // a quote or a character has started the current item
  bool inQuotes = false;
  const auto at = [&text](qsizetype pos, const QString& what) {
    return !what.isEmpty() && QStringView(text).mid(pos).startsWith(what);
  };
  qsizetype pos = 0;
  while (pos < text.size()) {
    if (inQuotes) {
      if (at(pos, quoteEnd_)) {
        pos += quoteEnd_.size();
        if (at(pos, quoteEnd_)) {
          current += quoteEnd_;
          pos += quoteEnd_.size();
        } else {
          inQuotes = false;
        }
      } else {
        current += text.at(pos++);
      }
    } else if (at(pos, separator_)) {
      if (inItem) items.append(std::exchange(current, QString()));
      inItem = false;
      pos += separator_.size();
    } else if (at(pos, quoteBegin_)) {
      inItem = inQuotes = true;
      pos += quoteBegin_.size();
    } else {
      inItem = true;
      current += text.at(pos++);
    }
  }
  // An unterminated quote runs to the end of the text.
  if (inItem) items.append(current);
  return items;
}
