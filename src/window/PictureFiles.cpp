#include "window/PictureFiles.h"

#include <QDir>

#include "picture/PictureFormats.h"

QStringList PicturePatterns() {
  QStringList patterns;
  for (const QByteArray& format : ReadFormats()) {
    patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
  }
  return patterns;
}

QStringList PictureFilesIn(const QString& folder) {
  const QDir dir(folder);
  QStringList files;
  for (const QString& name : dir.entryList(PicturePatterns(), QDir::Files, QDir::Name)) {
    files.append(QDir::toNativeSeparators(dir.filePath(name)));
  }
  return files;
}
