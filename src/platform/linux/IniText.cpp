#include "platform/linux/IniText.h"

#include <QByteArrayView>
#include <QList>

namespace {

bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

void AppendHexEscape(QByteArray& out, char16_t c) {
  out += "\\x";
  out += QByteArray::number(c, 16);
}

// One escaped character; returns whether a following hex digit must be
// escaped too, so that it cannot be read as part of this escape.
bool AppendEscaped(QByteArray& out, char16_t c, bool afterHexEscape) {
  if (afterHexEscape && IsHexDigit(c)) {
    AppendHexEscape(out, c);
    return true;
  }
  switch (c) {
    case u'\0':
      out += "\\0";
      return true;
    case u'\a':
      out += "\\a";
      return false;
    case u'\b':
      out += "\\b";
      return false;
    case u'\f':
      out += "\\f";
      return false;
    case u'\n':
      out += "\\n";
      return false;
    case u'\r':
      out += "\\r";
      return false;
    case u'\t':
      out += "\\t";
      return false;
    case u'\v':
      out += "\\v";
      return false;
    case u'"':
    case u'\\':
      out += '\\';
      out += static_cast<char>(c);
      return false;
    default:
      if (c <= 0x1F) {
        AppendHexEscape(out, c);
        return true;
      }
      out += static_cast<char>(c);
      return false;
  }
}

bool IsSectionHeader(QByteArrayView trimmed) { return trimmed.startsWith('['); }

QByteArrayView SectionName(QByteArrayView trimmed) {
  const qsizetype end = trimmed.indexOf(']');
  return trimmed.sliced(1, (end < 0 ? trimmed.size() : end) - 1).trimmed();
}

bool IsKeyLine(QByteArrayView trimmed, QByteArrayView key) {
  return trimmed.startsWith(key) && trimmed.sliced(key.size()).trimmed().startsWith('=');
}

// A line ending in an odd number of backslashes goes on in the next line.
bool ContinuesOnNextLine(QByteArrayView line) {
  if (line.endsWith('\r')) line.chop(1);
  qsizetype backslashes = 0;
  while (backslashes < line.size() && line.at(line.size() - 1 - backslashes) == '\\') {
    ++backslashes;
  }
  return backslashes % 2 == 1;
}

// Letters, digits and a few marks: nothing QSettings would unescape.
bool IsPlainName(QByteArrayView name) {
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == ' ' || c == '.' || c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

// Whether every quote the value opens is closed on its own line: QSettings
// reads an open quote on into the lines after it.
bool QuotesClosed(QByteArrayView value) {
  bool inQuotes = false;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value.at(i) == '\\') {
      ++i;
    } else if (value.at(i) == '"') {
      inQuotes = !inQuotes;
    }
  }
  return !inQuotes;
}

}  // namespace

bool IsPlainIni(QByteArrayView content) {
  // Control characters (a carriage return, a form feed, NUL) are blanks to
  // one reader and text to another.
  for (const char c : content) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n') return false;
  }
  QList<QByteArrayView> sections;
  for (qsizetype pos = 0; pos < content.size();) {
    const qsizetype lineEnd = content.indexOf('\n', pos);
    const QByteArrayView line =
        content.sliced(pos, (lineEnd < 0 ? content.size() : lineEnd) - pos).trimmed();
    pos = lineEnd < 0 ? content.size() : lineEnd + 1;
    if (line.isEmpty() || line.startsWith(';')) continue;
    if (ContinuesOnNextLine(line)) return false;
    const QByteArrayView name =
        IsSectionHeader(line) ? SectionName(line) : line.first(qMax(line.indexOf('='), 0));
    if (name.isEmpty() || !IsPlainName(name)) return false;
    if (!IsSectionHeader(line) && !QuotesClosed(line.sliced(name.size()))) return false;
    if (IsSectionHeader(line)) {
      if (!line.endsWith(']') || sections.contains(name)) return false;
      sections.append(name);
    }
  }
  return true;
}

QByteArray EscapeIniValue(const QString& value) {
  QByteArray out;
  out.reserve(value.size() + 16);
  if (value.startsWith(QLatin1Char('@'))) out += '@';
  bool needsQuotes = false;
  bool afterHexEscape = false;
  const QStringView view(value);
  qsizetype pos = 0;
  while (pos < view.size()) {
    const char16_t c = view.at(pos).unicode();
    if (c >= 0x7F) {
      // A run of characters beyond ASCII, converted in one go.
      qsizetype end = pos + 1;
      while (end < view.size() && view.at(end).unicode() >= 0x7F) ++end;
      out += view.mid(pos, end - pos).toUtf8();
      afterHexEscape = false;
      pos = end;
      continue;
    }
    if (c == u';' || c == u',' || c == u'=') needsQuotes = true;
    afterHexEscape = AppendEscaped(out, c, afterHexEscape);
    ++pos;
  }
  if (needsQuotes || out.startsWith(' ') || out.endsWith(' ')) {
    out.prepend('"');
    out.append('"');
  }
  return out;
}

QByteArray SetIniValue(const QByteArray& content, const QString& section, const QString& key,
                       const QString& value) {
  const QByteArray sectionName = section.toUtf8();
  const QByteArray keyName = key.toUtf8();
  const QByteArray newLine = keyName + '=' + EscapeIniValue(value) + '\n';

  QByteArray out;
  out.reserve(content.size() + newLine.size() + sectionName.size() + 4);
  bool inSection = false;
  bool sectionSeen = false;
  bool written = false;
  bool skippingContinuation = false;
  // Line by line through views of the content: the stored list alone can be
  // megabytes long, and is copied once, into the result.
  const QByteArrayView text(content);
  for (qsizetype pos = 0; pos < text.size();) {
    const qsizetype lineEnd = text.indexOf('\n', pos);
    const QByteArrayView line = text.sliced(pos, (lineEnd < 0 ? text.size() : lineEnd) - pos);
    pos = lineEnd < 0 ? text.size() : lineEnd + 1;
    if (skippingContinuation) {
      skippingContinuation = ContinuesOnNextLine(line);
      continue;
    }
    const QByteArrayView trimmed = line.trimmed();
    if (IsSectionHeader(trimmed)) {
      if (inSection && !written) {
        out += newLine;
        written = true;
      }
      inSection = SectionName(trimmed) == QByteArrayView(sectionName);
      sectionSeen = sectionSeen || inSection;
    } else if (inSection && IsKeyLine(trimmed, keyName)) {
      if (!written) out += newLine;
      written = true;
      skippingContinuation = ContinuesOnNextLine(line);
      continue;
    }
    out += line;
    out += '\n';
  }
  if (!written) {
    if (!sectionSeen) {
      if (!out.isEmpty()) out += '\n';
      out += '[' + sectionName + "]\n";
    }
    out += newLine;
  }
  return out;
}
