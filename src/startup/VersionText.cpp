#include "startup/VersionText.h"

#include "resources/Version.h"

namespace modMain {

QString VersionTitle() {
  return QStringLiteral("Zorvane Vistaro ") + QString::number(version::kMajor) + QLatin1Char('.') +
         QString::number(version::kMinor) + QLatin1Char('.') + QString::number(version::kRevision);
}

QString ApplicationTitle() { return QString::fromLatin1(version::kProductName); }

}  // namespace modMain
