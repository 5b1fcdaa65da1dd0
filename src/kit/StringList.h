#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <utility>

#include "zkit10_export.h"

// An ordered list of text items that joins its items into one text and splits
// one text into items (Text), under a separator and two quote settings.
//
// With both quotes set, every item is written as QuoteBegin, the item with
// each QuoteEnd inside it doubled, QuoteEnd, and the items are joined by the
// separator. Reading splits like a command line: runs of separators separate
// items, separators at either end are ignored, a quoted part may hold
// separators, a doubled QuoteEnd inside quotes stands for one, and an empty
// quoted part is an empty item. So any list of items comes back exactly, and
// unquoted items are read too.
//
// With a quote empty, the text is split at every separator; a text without
// one is one item, and an empty text is no item.
class ZKIT10_EXPORT StringList {
 public:
  StringList() = default;
  // A list holding these items (shared with the list given, not copied).
  explicit StringList(QStringList items) : items_(std::move(items)) {}

  const QString& Separator() const { return separator_; }
  void SetSeparator(const QString& separator) { separator_ = separator; }
  const QString& QuoteBegin() const { return quoteBegin_; }
  void SetQuoteBegin(const QString& quote) { quoteBegin_ = quote; }
  const QString& QuoteEnd() const { return quoteEnd_; }
  void SetQuoteEnd(const QString& quote) { quoteEnd_ = quote; }

  // Appends the item when index is -1, otherwise inserts it so that it stands
  // at the 1-based index (Count() + 1 appends). Other indexes are error 9.
  void Add(const QString& item, int index = -1);
  int Count() const { return static_cast<int>(items_.size()); }
  // The item at a 1-based position; outside 1 to Count() it is error 9.
  QString Item(int index) const;

  QString Text() const;
  void SetText(const QString& text);

  // Calls visit with each item of text, in order, as SetText would split it,
  // until visit returns false; the list itself is left alone. The text is
  // read once from start to end, and an item is a view into it unless it has
  // to be joined from pieces (quotes inside it). A view lives only during
  // its call.
  void ForEachItem(QStringView text, const std::function<bool(QStringView)>& visit) const;

 private:
  bool Quoting() const { return !quoteBegin_.isEmpty() && !quoteEnd_.isEmpty(); }
  void ForEachQuoted(QStringView text, const std::function<bool(QStringView)>& visit) const;

  QStringList items_;
  QString separator_ = QStringLiteral(" ");
  QString quoteBegin_ = QStringLiteral("\"");
  QString quoteEnd_ = QStringLiteral("\"");
};
