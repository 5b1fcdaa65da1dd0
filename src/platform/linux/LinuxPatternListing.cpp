#include "platform/linux/LinuxPatternListing.h"

#include <QDir>

namespace {

// Matching on code points, so that "?" stands for one character also
// outside the basic multilingual plane. Backtracks to the last "*" only,
// which keeps the cost linear in practice and quadratic at worst.
bool MatchCodePoints(const QList<uint>& element, const QList<uint>& name) {
  qsizetype e = 0, n = 0, starE = -1, starN = 0;
  while (n < name.size()) {
    if (e < element.size() && element[e] == '*') {
      starE = e++;
      starN = n;
    } else if (e < element.size() && (element[e] == '?' || element[e] == name[n])) {
      ++e;
      ++n;
    } else if (starE >= 0) {
      e = starE + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (e < element.size() && element[e] == '*') ++e;
  return e == element.size();
}

}  // namespace

bool MatchesWildcards(const QString& element, const QString& name) {
  return MatchCodePoints(element.toUcs4(), name.toUcs4());
}

QStringList LinuxPatternListing::Matches(const QString& pattern) {
  if (pattern.contains(QChar(u'\0'))) return {};
  const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
  const QString element = pattern.mid(slash + 1);
  if (element.isEmpty()) return {};
  QString folder = slash < 0 ? QStringLiteral(".") : pattern.left(slash);
  if (folder.isEmpty()) folder = QStringLiteral("/");
  const QDir dir(folder);
  if (!dir.exists()) return {};
  QStringList matches;
  // QDir::Files without QDir::Hidden and QDir::System: no hidden files, no
  // folders, no FIFOs, sockets, devices or dangling links.
  for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
    if (MatchesWildcards(element, name)) matches.append(name);
  }
  return matches;
}
