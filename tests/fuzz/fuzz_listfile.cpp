// Any list file reads without a crash, in pieces of any size as it does
// whole (the first byte picks the size), and every name read comes back
// exactly from the line it is written as. The rotation's search finds the
// line each name was read from.
#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "platform/linux/ListFile.h"

namespace {

// Each line with the name it stands for (none for a blank line).
QList<std::pair<QByteArray, QString>> Lines(const QByteArray& content, qsizetype piece) {
  QBuffer buffer;
  buffer.setData(content);
  QList<std::pair<QByteArray, QString>> lines;
  QString name;
  if (!buffer.open(QIODevice::ReadOnly) || !ForEachLine(buffer, piece, [&](QByteArrayView line) {
        lines.append({line.toByteArray(), ListName(line, name) ? name : QString()});
        return true;
      })) {
    abort();
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const QByteArray content(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
  const auto lines = Lines(content, 1 + data[0] % 32);
  if (Lines(content, content.size() + 1) != lines) abort();
  for (const auto& [line, name] : lines) {
    if (name.isNull()) continue;
    QByteArray written;
    AppendListLine(written, name);
    QString back;
    if (written.count('\n') != 1 || !ListName(QByteArrayView(written).chopped(1), back) ||
        back != name || !ListLineMatcher(name).Matches(line)) {
      abort();
    }
  }
  return 0;
}
