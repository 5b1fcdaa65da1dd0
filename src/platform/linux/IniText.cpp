#include "platform/linux/IniText.h"

#include <QByteArrayView>
#include <QList>

#include <utility>

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

// The line that begins at pos, without its line feed; pos moves on to the
// next line.
QByteArrayView NextLine(QByteArrayView text, qsizetype& pos) {
  const qsizetype end = text.indexOf('\n', pos);
  const QByteArrayView line = text.sliced(pos, (end < 0 ? text.size() : end) - pos);
  pos = end < 0 ? text.size() : end + 1;
  return line;
}

// Control characters (a carriage return, a form feed, NUL) are blanks to
// one reader and text to another.
bool HasControlCharacters(QByteArrayView content) {
  for (const char c : content) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n') return true;
  }
  return false;
}

// A section seen before would be merged by QSettings with the first one.
bool IsPlainSectionHeader(QByteArrayView trimmed, QList<QByteArrayView>& sections) {
  const QByteArrayView name = SectionName(trimmed);
  if (!trimmed.endsWith(']') || name.isEmpty() || !IsPlainName(name) || sections.contains(name)) {
    return false;
  }
  sections.append(name);
  return true;
}

bool IsPlainKeyLine(QByteArrayView trimmed) {
  const QByteArrayView name = trimmed.first(qMax(trimmed.indexOf('='), 0));
  return !name.isEmpty() && IsPlainName(name) && QuotesClosed(trimmed.sliced(name.size()));
}

bool IsPlainLine(QByteArrayView trimmed, QList<QByteArrayView>& sections) {
  if (trimmed.isEmpty() || trimmed.startsWith(';')) return true;
  if (ContinuesOnNextLine(trimmed)) return false;
  return IsSectionHeader(trimmed) ? IsPlainSectionHeader(trimmed, sections)
                                  : IsPlainKeyLine(trimmed);
}

// The copy of a file's lines with one value set, built line by line.
class ValueEdit {
 public:
  ValueEdit(const QString& section, const QString& key, const QString& value, qsizetype size)
      : sectionName_(section.toUtf8()),
        keyName_(key.toUtf8()),
        newLine_(keyName_ + '=' + EscapeIniValue(value) + '\n') {
    out_.reserve(size + newLine_.size() + sectionName_.size() + 4);
  }

  void Take(QByteArrayView line) {
    if (skippingContinuation_) {
      skippingContinuation_ = ContinuesOnNextLine(line);
      return;
    }
    const QByteArrayView trimmed = line.trimmed();
    if (IsSectionHeader(trimmed)) {
      // A key missing from its section is added at the section's end.
      if (inSection_) WriteValue();
      inSection_ = SectionName(trimmed) == QByteArrayView(sectionName_);
      sectionSeen_ = sectionSeen_ || inSection_;
    } else if (inSection_ && IsKeyLine(trimmed, keyName_)) {
      // The key's first line becomes the new one; any later line of the
      // key is dropped, each with the lines it continues on.
      WriteValue();
      skippingContinuation_ = ContinuesOnNextLine(line);
      return;
    }
    out_ += line;
    out_ += '\n';
  }

  QByteArray Finish() {
    if (!written_ && !sectionSeen_) {
      if (!out_.isEmpty()) out_ += '\n';
      out_ += '[' + sectionName_ + "]\n";
    }
    WriteValue();
    return std::move(out_);
  }

 private:
  void WriteValue() {
    if (!written_) out_ += newLine_;
    written_ = true;
  }

  const QByteArray sectionName_;
  const QByteArray keyName_;
  const QByteArray newLine_;
  QByteArray out_;
  bool inSection_ = false;
  bool sectionSeen_ = false;
  bool written_ = false;
  bool skippingContinuation_ = false;
};

}  // namespace

bool IsPlainIni(QByteArrayView content) {
  if (HasControlCharacters(content)) return false;
  QList<QByteArrayView> sections;
  for (qsizetype pos = 0; pos < content.size();) {
    if (!IsPlainLine(NextLine(content, pos).trimmed(), sections)) return false;
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
  ValueEdit edit(section, key, value, content.size());
  // Line by line through views of the content: the stored list alone can be
  // megabytes long, and is copied once, into the result.
  const QByteArrayView text(content);
  for (qsizetype pos = 0; pos < text.size();) edit.Take(NextLine(text, pos));
  return edit.Finish();
}
