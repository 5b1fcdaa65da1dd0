// Any list file reads without a crash, in pieces of any size as it does
// whole (the first byte picks the size), and every name read comes back
// exactly from the line it is written as. The rotation's search finds the
// line each name was read from.
#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/linux/ListFile.h"

namespace {

struct Read {
  QList<QByteArray> lines;
  QStringList names;  // one per line, empty for a blank one
  bool operator==(const Read& other) const { return names == other.names; }
};

Read ReadInPieces(const QByteArray& content, qsizetype piece) {
  QBuffer buffer;
  buffer.setData(content);
  if (!buffer.open(QIODevice::ReadOnly)) abort();
  Read read;
  QString name;
  if (!ForEachLine(buffer, piece, [&](QByteArrayView line) {
        read.lines.append(line.toByteArray());
        read.names.append(ListName(line, name) ? name : QString());
        return true;
      })) {
    abort();
  }
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const QByteArray content(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
  const Read read = ReadInPieces(content, 1 + data[0] % 32);
  if (!(ReadInPieces(content, content.size() + 1) == read)) abort();
  for (qsizetype i = 0; i < read.names.size(); ++i) {
    const QString& name = read.names[i];
    if (name.isNull()) continue;
    QByteArray line;
    AppendListLine(line, name);
    if (!line.endsWith('\n') || line.count('\n') != 1) abort();
    QString back;
    if (!ListName(QByteArrayView(line).chopped(1), back) || back != name) abort();
    if (!ListLineMatcher(name).Matches(read.lines[i])) abort();
  }
  return 0;
}
