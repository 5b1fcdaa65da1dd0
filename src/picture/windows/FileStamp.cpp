#include "picture/FileStamp.h"

#include <QDateTime>
#include <QFileInfo>

// Qt gives no file identity on Windows; a replaced file has a creation time
// of its own, which stands in for it.
FileStamp StampOf(const QString& fileName) {
  const QFileInfo info(fileName);
  if (!info.isFile()) return {};
  return {true, info.size(), info.lastModified().toMSecsSinceEpoch() * 1000000, 0,
          quint64(info.birthTime().toMSecsSinceEpoch())};
}
