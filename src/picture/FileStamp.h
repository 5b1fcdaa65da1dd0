#pragma once

#include <QString>

// One state of a file on disk, as far as what it holds is concerned: the
// same stamp twice means the file was neither changed nor replaced in
// between (its size, modification time and identity on the disk are the
// same). Missing files and anything but a regular file (or a link to one)
// stamp as not a file.
struct FileStamp {
  bool isFile = false;
  qint64 size = -1;
  qint64 modifiedNs = 0;
  quint64 device = 0;
  quint64 inode = 0;
  bool operator==(const FileStamp&) const = default;
};

// The file's stamp now; each platform's implementation reads it in one call.
FileStamp StampOf(const QString& fileName);
