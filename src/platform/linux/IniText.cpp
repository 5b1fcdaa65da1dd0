#include "platform/linux/IniText.h"

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

QByteArray Trimmed(const QByteArray& line) { return line.trimmed(); }

bool IsSectionHeader(const QByteArray& trimmed) { return trimmed.startsWith('['); }

QByteArray SectionName(const QByteArray& trimmed) {
  const qsizetype end = trimmed.indexOf(']');
  return trimmed.mid(1, end < 0 ? -1 : end - 1).trimmed();
}

bool IsKeyLine(const QByteArray& trimmed, const QByteArray& key) {
  if (!trimmed.startsWith(key)) return false;
  const QByteArray rest = trimmed.mid(key.size()).trimmed();
  return rest.startsWith('=');
}

// A line ending in an odd number of backslashes goes on in the next line.
bool ContinuesOnNextLine(const QByteArray& line) {
  QByteArray body = line;
  if (body.endsWith('\r')) body.chop(1);
  qsizetype backslashes = 0;
  while (backslashes < body.size() && body.at(body.size() - 1 - backslashes) == '\\') {
    ++backslashes;
  }
  return backslashes % 2 == 1;
}

}  // namespace

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

  QList<QByteArray> lines = content.split('\n');
  const bool endsWithNewLine = content.isEmpty() || content.endsWith('\n');
  if (endsWithNewLine) lines.removeLast();

  QByteArray out;
  out.reserve(content.size() + newLine.size() + sectionName.size() + 4);
  bool inSection = false;
  bool sectionSeen = false;
  bool written = false;
  bool skippingContinuation = false;
  for (const QByteArray& line : lines) {
    if (skippingContinuation) {
      skippingContinuation = ContinuesOnNextLine(line);
      continue;
    }
    const QByteArray trimmed = Trimmed(line);
    if (IsSectionHeader(trimmed)) {
      if (inSection && !written) {
        out += newLine;
        written = true;
      }
      inSection = SectionName(trimmed) == sectionName;
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
