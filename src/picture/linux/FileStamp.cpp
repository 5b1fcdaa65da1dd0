#include "picture/FileStamp.h"

#include <QFile>

#include <sys/stat.h>

FileStamp StampOf(const QString& fileName) {
  struct stat status {};
  if (::stat(QFile::encodeName(fileName).constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return {};
  }
  return {true, qint64(status.st_size),
          qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
          quint64(status.st_dev), quint64(status.st_ino)};
}
