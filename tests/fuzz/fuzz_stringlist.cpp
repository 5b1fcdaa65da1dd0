// Any text splits without a crash, and joining what it split and splitting
// again gives the same items, under the settings of the stored list, of the
// argument list and of the dialog's NUL-separated answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kit/StringList.h"

namespace {

QStringList Items(const StringList& list) {
  QStringList items;
  for (int i = 1; i <= list.Count(); ++i) items.append(list.Item(i));
  return items;
}

void CheckRoundTrip(const QString& text, const QString& separator, const QString& quote) {
  StringList first;
  first.SetSeparator(separator);
  first.SetQuoteBegin(quote);
  first.SetQuoteEnd(quote);
  first.SetText(text);
  const QStringList items = Items(first);

  StringList second;
  second.SetSeparator(separator);
  second.SetQuoteBegin(quote);
  second.SetQuoteEnd(quote);
  second.SetText(first.Text());
  // Without quotes a list of one empty item joins to empty text, which reads
  // as no item; that is the one text the unquoted form cannot tell apart.
  if (Items(second) != items && !(quote.isEmpty() && items == QStringList{QString()})) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text =
      QString::fromUtf16(reinterpret_cast<const char16_t*>(data), static_cast<qsizetype>(size / 2));
  CheckRoundTrip(text, QStringLiteral("; "), QStringLiteral("\""));
  CheckRoundTrip(text, QStringLiteral(" "), QStringLiteral("\""));
  CheckRoundTrip(text, QString(QChar(u'\0')), QString());
  return 0;
}
