#include "platform/linux/XdgConfig.h"

#include <QDir>

QString XdgConfigHome() {
  const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (QDir::isAbsolutePath(configured)) return QDir::cleanPath(configured);
  return QDir::homePath() + QStringLiteral("/.config");
}

QString XdgDataHome() {
  const QString configured = qEnvironmentVariable("XDG_DATA_HOME");
  if (QDir::isAbsolutePath(configured)) return QDir::cleanPath(configured);
  return QDir::homePath() + QStringLiteral("/.local/share");
}
