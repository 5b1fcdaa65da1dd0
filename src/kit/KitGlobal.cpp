#include "kit/KitGlobal.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

#include "kit/ProgramError.h"

ZKitGlobal::ZKitGlobal() = default;

ZKitGlobal& KitGlobal() {
  static ZKitGlobal instance;
  return instance;
}

StringList& ZKitGlobal::Arguments() { return arguments_; }

void ZKitGlobal::Trace(const QString& line, int /*level*/) {
  if (sink_) {
    sink_(line);
  } else {
    WriteDefaultTrace(line);
  }
}

void ZKitGlobal::SetTraceSink(TraceSink sink) { sink_ = std::move(sink); }

void WriteDefaultTrace(const QString& line) {
  const QString target = qEnvironmentVariable("ZVISTARO_TRACE");
  if (target.isEmpty()) return;
  const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
  if (target == QLatin1String("-")) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    return;
  }
  // Opened for each line so that every line reaches the file at once, also
  // when the program ends abruptly afterwards.
  QFile file(target);
  if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write(bytes);
}

bool ZKitGlobal::FileExists(const QString& path) const {
  if (path.isEmpty() || path.contains(QChar(u'\0'))) return false;
  return QFileInfo(path).isFile();
}

QString ZKitGlobal::EnsureTrailing(const QString& folder, const QString& separator) const {
  if (separator.isEmpty()) return folder;
  const bool slashToo = separator == QLatin1String("\\");
  QString result = folder;
  while (result.endsWith(separator) || (slashToo && result.endsWith(QLatin1Char('/')))) {
    result.chop(result.endsWith(separator) ? separator.size() : 1);
  }
  return result + separator;
}

double ZKitGlobal::Min(std::initializer_list<double> values) const {
  if (values.size() == 0) {
    throw ProgramError(kErrInvalidProcedureCall, QStringLiteral("ZKit10"),
                       QStringLiteral("Invalid procedure call or argument"));
  }
  return std::min(values);
}
