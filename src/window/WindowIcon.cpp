#include "window/WindowIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr int kIconSizes[] = {16, 32};

QString IconFile(int size) {
  const QString relative = QStringLiteral("icons/hicolor/%1x%1/apps/ZVistaro02.png").arg(size);
  const QString besideProgram =
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../share/") + relative);
  if (QFileInfo(besideProgram).isFile()) return besideProgram;
  return QStandardPaths::locate(QStandardPaths::GenericDataLocation, relative);
}

}  // namespace

QIcon LoadWindowIcon() {
  QIcon icon;
  for (const int size : kIconSizes) {
    const QString file = IconFile(size);
    if (!file.isEmpty()) icon.addFile(file, QSize(size, size));
  }
  return icon;
}
