#include "errors/Errors.h"

#include "kit/KitGlobal.h"
#include "resources/StringTable.h"

namespace modMain {

namespace {

constexpr qint64 kFirstStringId = 1001;

}  // namespace

void RaiseError(qint32 number, const std::optional<QString>& source, const QString& cause) {
  const QString suffix = source ? QStringLiteral(".") + *source : QString();
  KitGlobal().Trace(QStringLiteral("* Error (Number:=") + QString::number(number) +
                        QStringLiteral(", Source:='") + suffix + QStringLiteral("')"),
                    0);
  const QString description = ErrorDescription(number);
  throw ProgramError(number, QLatin1String(kProjectName) + suffix, description, cause);
}

QString ErrorDescription(qint32 number) {
  // Exact arithmetic: numbers far from the base must not wrap into the table.
  const qint64 id = qint64{number} - qint64{kErrBase} + kFirstStringId;
  const QString description =
      LoadResString(id).value_or(QStringLiteral("Description for error '") +
                                 QString::number(number) + QStringLiteral("' not found"));
  KitGlobal().Trace(QStringLiteral("* ErrDescr(Number:=") + QString::number(number) +
                        QStringLiteral(") [= ") + description + QStringLiteral("]"),
                    0);
  return description;
}

void RaiseSubscriptOutOfRange() {
  throw ProgramError(kErrSubscriptOutOfRange, QLatin1String(kProjectName),
                     QStringLiteral("Subscript out of range"));
}

}  // namespace modMain
