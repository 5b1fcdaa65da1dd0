#include "platform/linux/IniText.h"

#include <QByteArrayView>
#include <QList>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include <sys/mman.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The first byte at or after from that is one of Marks, or the size of the
// text when there is none. Stored lists run to megabytes in which these
// bytes are a few in every name: sixteen bytes are compared at once where
// the processor can.
template <char... Marks>
qsizetype NextMark(QByteArrayView text, qsizetype from) {
  const char* bytes = text.data();
  const qsizetype size = text.size();
#if defined(__SSE2__)
  for (; from + 16 <= size; from += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + from));
    const __m128i found = (_mm_cmpeq_epi8(block, _mm_set1_epi8(Marks)) | ...);
    if (const int mask = _mm_movemask_epi8(found)) {
      return from + std::countr_zero(static_cast<unsigned>(mask));
    }
  }
#endif
  while (from < size && ((bytes[from] != Marks) && ...)) ++from;
  return from;
}

// Whether every quote the value opens is closed on its own line: QSettings
// reads an open quote on into the lines after it.
bool QuotesClosed(QByteArrayView value) {
  bool inQuotes = false;
  for (qsizetype i = NextMark<'\\', '"'>(value, 0); i < value.size();
       i = NextMark<'\\', '"'>(value, i + 1)) {
    if (value.at(i) == '\\') {
      ++i;
    } else {
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
  const char* bytes = content.data();
  qsizetype i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: a byte is at most 0x1F when the larger of it
  // and 0x1F is 0x1F.
  const __m128i highestControl = _mm_set1_epi8(0x1F);
  for (; i + 16 <= content.size(); i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i control =
        _mm_andnot_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n')),
                         _mm_cmpeq_epi8(_mm_max_epu8(block, highestControl), highestControl));
    if (_mm_movemask_epi8(control) != 0) return true;
  }
#endif
  for (; i < content.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) < 0x20 && bytes[i] != '\n') return true;
  }
  return false;
}

// Whether the text is valid UTF-8; a text of ASCII only, as most stored
// lists are, is told sixteen bytes at a time.
bool IsValidUtf8(QByteArrayView text) {
  const char* bytes = text.data();
  qsizetype i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    if (_mm_movemask_epi8(block) != 0) return text.isValidUtf8();
  }
#endif
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(bytes[i]) >= 0x80) return text.isValidUtf8();
  }
  return true;
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

// Where QSettings ends a line's value: at the first ";" outside quotes.
// listed tells whether a "," stands outside quotes before it (QSettings then
// reads a list).
qsizetype ValueLength(QByteArrayView raw, bool* listed = nullptr) {
  bool inQuotes = false;
  bool comma = false;
  qsizetype i = NextMark<'\\', '"', ';', ','>(raw, 0);
  for (; i < raw.size(); i = NextMark<'\\', '"', ';', ','>(raw, i + 1)) {
    if (raw.at(i) == '\\') {
      ++i;
    } else if (raw.at(i) == '"') {
      inQuotes = !inQuotes;
    } else if (raw.at(i) == ';' && !inQuotes) {
      break;
    } else if (raw.at(i) == ',' && !inQuotes) {
      comma = true;
    }
  }
  if (listed != nullptr) *listed = comma;
  return std::min(i, raw.size());
}

char16_t EscapedCharacter(char c) {
  static constexpr char kCodes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                       {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                       {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  for (const auto& code : kCodes) {
    if (c == code[0]) return static_cast<char16_t>(code[1]);
  }
  return 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text of a value as QSettings unescapes it: blanks before it and, out
// of quotes, after it dropped, quotes removed, escapes resolved. False for
// a list (a comma out of quotes) or for text QSettings would decode
// differently piece by piece (no valid UTF-8, a byte order mark). The text
// goes to take whole, or, once a quote has begun it (so no blank at its
// end is cut), in pieces of at least piece characters; take may move from
// the text, and returning false it stops the decoding.
bool UnescapeValue(QByteArrayView raw, qsizetype piece, const std::function<bool(QString&)>& take) {
  if (!IsValidUtf8(raw)) return false;
  QString out;
  out.reserve(std::min(raw.size(), piece) + 16);
  PreferLargePages(out.data(), out.capacity() * 2);
  const qsizetype n = raw.size();
  qsizetype i = 0;
  const auto skipBlanks = [&] {
    while (i < n && (raw.at(i) == ' ' || raw.at(i) == '\t')) ++i;
  };
  skipBlanks();
  qsizetype keep = 0;  // what trailing blanks are never cut from
  bool inQuotes = false;
  bool quoted = false;
  bool cutBlanks = true;  // QSettings leaves them when the value ends in an escape
  while (i < n) {
    const char c = raw.at(i);
    if (c == '\\') {
      if (++i >= n) {
        cutBlanks = false;
        break;
      }
      const char code = raw.at(i++);
      if (const char16_t plain = EscapedCharacter(code)) {
        out += QChar(plain);
      } else if ((code == 'x' && i < n && HexValue(raw.at(i)) >= 0) ||
                 (code >= '0' && code <= '7')) {
        const int base = code == 'x' ? 16 : 8;
        char16_t number = code == 'x' ? 0 : static_cast<char16_t>(code - '0');
        while (i < n && HexValue(raw.at(i)) >= 0 && HexValue(raw.at(i)) < base) {
          number = static_cast<char16_t>(number * base + HexValue(raw.at(i++)));
        }
        out += QChar(number);
        if (i >= n) {
          cutBlanks = false;
          break;
        }
      } else if (code == 'x' && i >= n) {
        cutBlanks = false;
        break;
      }
      // Any other escaped character is dropped.
      keep = out.size();
    } else if (c == '"') {
      ++i;
      quoted = true;
      inQuotes = !inQuotes;
      if (!inQuotes) {
        skipBlanks();
        keep = out.size();
      }
    } else if (c == ',' && !inQuotes) {
      return false;
    } else {
      const qsizetype end = NextMark<'\\', '"', ','>(raw, i + 1);
      const QByteArrayView run = raw.sliced(i, end - i);
      bool ascii = true;
      for (const char b : run) ascii &= static_cast<unsigned char>(b) < 0x80;
      if (ascii) {
        out += QLatin1StringView(run);
      } else {
        if (run.indexOf("\xEF\xBB\xBF") >= 0) return false;
        out += QString::fromUtf8(run);
      }
      i = end;
    }
    if (quoted && out.size() >= piece) {
      if (!take(out)) return true;
      out.clear();
    }
  }
  if (cutBlanks && !quoted) {
    qsizetype size = out.size();
    while (size > keep && (out.at(size - 1) == u' ' || out.at(size - 1) == u'\t')) --size;
    out.truncate(size);
  }
  take(out);
  return true;
}

std::optional<QString> UnescapeValue(QByteArrayView raw) {
  QString value;
  const bool read =
      UnescapeValue(raw, std::numeric_limits<qsizetype>::max(), [&value](QString& text) {
        value = std::move(text);
        return true;
      });
  return read ? std::optional<QString>(std::move(value)) : std::nullopt;
}

// Printable ASCII that stands for itself in an escaped value.
bool IsPlainCharacter(char16_t c) { return c >= 0x20 && c < 0x7F && c != u'"' && c != u'\\'; }

// The text escaped as a value's part; afterHexEscape tells, before and
// after, whether the last character written was a hex escape.
void AppendEscapedText(QByteArray& out, QStringView text, bool& afterHexEscape) {
  qsizetype pos = 0;
  while (pos < text.size()) {
    const char16_t c = text.at(pos).unicode();
    qsizetype end = pos + 1;
    if (c >= 0x7F) {
      // A run of characters beyond ASCII, converted in one go.
      while (end < text.size() && text.at(end).unicode() >= 0x7F) ++end;
      out += text.mid(pos, end - pos).toUtf8();
      afterHexEscape = false;
    } else if (IsPlainCharacter(c) && !(afterHexEscape && IsHexDigit(c))) {
      // A run of plain characters, copied byte for byte: a stored list is
      // mostly such runs, megabytes of them.
      while (end < text.size() && IsPlainCharacter(text.at(end).unicode())) ++end;
      const qsizetype at = out.size();
      out.resize(at + end - pos);
      char* bytes = out.data() + at;
      for (qsizetype i = pos; i < end; ++i) *bytes++ = static_cast<char>(text.at(i).unicode());
      afterHexEscape = false;
    } else {
      afterHexEscape = AppendEscaped(out, c, afterHexEscape);
    }
    pos = end;
  }
}

}  // namespace

void PreferLargePages(void* data, qsizetype size) {
#if defined(MADV_HUGEPAGE)
  constexpr quintptr kLargePage = 2 << 20;
  const quintptr begin = (reinterpret_cast<quintptr>(data) + kLargePage - 1) & ~(kLargePage - 1);
  const quintptr end = (reinterpret_cast<quintptr>(data) + size) & ~(kLargePage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

bool IsPlainIni(QByteArrayView content) { return IniLayout::Scan(content).has_value(); }

QByteArray EscapeIniValue(const QString& value) {
  QByteArray out;
  AppendIniValue(out, value);
  return out;
}

void AppendIniValue(QByteArray& out, const QString& value) {
  AppendIniValue(out, [&value](const auto& take) { take(value); });
}

void AppendIniValue(QByteArray& out, const IniPieces& value) {
  // A first look at the pieces tells the quotes and the room needed.
  qsizetype size = 0;
  bool marks = false;
  QChar first;
  QChar last;
  value([&](QStringView piece) {
    if (piece.isEmpty()) return;
    if (size == 0) first = piece.front();
    last = piece.back();
    size += piece.size();
    marks = marks || piece.contains(u';') || piece.contains(u',') || piece.contains(u'=');
  });
  const bool needsQuotes = marks || first == u' ' || last == u' ';
  // Room for the escapes a stored list holds (two for each name), so that
  // megabytes are not moved again as the value grows.
  out.reserve(out.size() + size + size / 4 + 18);
  PreferLargePages(out.data(), out.capacity());
  if (needsQuotes) out += '"';
  if (first == u'@') out += '@';
  bool afterHexEscape = false;
  // A high surrogate ending a piece waits for its low half in the next one,
  // so that the pair is converted as one character.
  std::optional<QChar> high;
  value([&](QStringView piece) {
    if (piece.isEmpty()) return;
    if (high && piece.front().isLowSurrogate()) {
      const QChar pair[2] = {*high, piece.front()};
      AppendEscapedText(out, QStringView(pair, 2), afterHexEscape);
      piece = piece.sliced(1);
    } else if (high) {
      AppendEscapedText(out, QStringView(&*high, 1), afterHexEscape);
    }
    high.reset();
    if (!piece.isEmpty() && piece.back().isHighSurrogate()) {
      high = piece.back();
      piece.chop(1);
    }
    AppendEscapedText(out, piece, afterHexEscape);
  });
  if (high) AppendEscapedText(out, QStringView(&*high, 1), afterHexEscape);
  if (needsQuotes) out += '"';
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

std::optional<IniLayout> IniLayout::Scan(QByteArrayView content) {
  if (HasControlCharacters(content)) return std::nullopt;
  IniLayout layout;
  QList<QByteArrayView> names;
  for (qsizetype pos = 0; pos < content.size();) {
    const qsizetype begin = pos;
    const QByteArrayView line = NextLine(content, pos);
    const QByteArrayView trimmed = line.trimmed();
    if (!IsPlainLine(trimmed, names)) return std::nullopt;
    if (trimmed.isEmpty() || trimmed.startsWith(';')) continue;
    if (IsSectionHeader(trimmed)) {
      if (!layout.sections_.empty()) layout.sections_.back().end = begin;
      layout.sections_.push_back({SectionName(trimmed).toByteArray(), content.size()});
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    layout.lines_.push_back({static_cast<int>(layout.sections_.size()) - 1,
                             line.first(equals).trimmed().toByteArray(), begin, pos,
                             begin + equals + 1, begin + line.size()});
  }
  return layout;
}

int IniLayout::SectionIndex(const QString& section) const {
  const QByteArray name = section.toUtf8();
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (sections_[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

std::optional<QByteArrayView> IniLayout::RawValue(QByteArrayView content, const QString& section,
                                                  const QString& key) const {
  const int index = SectionIndex(section);
  if (index < 0) return std::nullopt;
  const QByteArray name = key.toUtf8();
  // Of a key given twice, QSettings keeps the last value.
  for (auto line = lines_.crbegin(); line != lines_.crend(); ++line) {
    if (line->section != index || line->name != name) continue;
    return content.sliced(line->valueBegin, line->valueEnd - line->valueBegin);
  }
  return std::nullopt;
}

std::optional<QString> IniLayout::Value(QByteArrayView content, const QString& section,
                                        const QString& key) const {
  // QSettings reads the "General" section as the keys before any section.
  if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) return std::nullopt;
  const std::optional<QByteArrayView> raw = RawValue(content, section, key);
  if (!raw) return QString();
  std::optional<QString> value = UnescapeValue(raw->first(ValueLength(*raw)));
  if (!value || !value->startsWith(u'@')) return value;
  if (value->startsWith(QLatin1String("@@"))) return value->mid(1);
  return std::nullopt;
}

bool IniLayout::ValueInPieces(QByteArrayView content, const QString& section, const QString& key,
                              qsizetype piece, const std::function<bool(QStringView)>& take) const {
  if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) return false;
  std::optional<QByteArrayView> raw = RawValue(content, section, key);
  if (!raw) return true;
  bool listed = false;
  raw = raw->first(ValueLength(*raw, &listed));
  // Only a value that no check further on can refuse is handed out before
  // it is read whole; one beginning with "@" is refused at its first piece,
  // before anything was handed out, and read whole.
  if (!listed && !raw->contains("\xEF\xBB\xBF")) {
    bool typed = false;
    bool taken = false;
    const bool read = UnescapeValue(*raw, piece, [&](QString& text) {
      typed = !taken && text.startsWith(u'@');
      taken = true;
      return !typed && take(text);
    });
    if (read && !typed) return true;
  }
  const std::optional<QString> value = Value(content, section, key);
  if (!value) return false;
  take(*value);
  return true;
}

QList<IniSplice> IniLayout::Set(QByteArrayView content, const QString& section, const QString& key,
                                const QString& value) const {
  return Set(content, section, key, [&value](const auto& take) { take(value); });
}

QList<IniSplice> IniLayout::Set(QByteArrayView content, const QString& section, const QString& key,
                                const IniPieces& value) const {
  QByteArray newLine = key.toUtf8() + '=';
  AppendIniValue(newLine, value);
  newLine += '\n';
  const int index = SectionIndex(section);
  const QByteArray name = key.toUtf8();
  const qsizetype size = content.size();
  // The last line gets its line feed, as every line of the new file has one.
  const QByteArray lineFeed = size > 0 && !content.endsWith('\n') ? "\n" : "";
  QList<IniSplice> splices;
  for (const KeyLine& line : lines_) {
    if (index < 0 || line.section != index || line.name != name) continue;
    // The key's first line becomes the new one; later ones are dropped.
    splices.append({line.begin, line.end, splices.isEmpty() ? newLine : QByteArray()});
  }
  if (splices.isEmpty() && index >= 0) {
    const qsizetype end = sections_[index].end;
    splices.append({end, end, (end == size ? lineFeed : QByteArray()) + newLine});
  } else if (splices.isEmpty()) {
    splices.append(
        {size, size, lineFeed + (size > 0 ? "\n[" : "[") + section.toUtf8() + "]\n" + newLine});
  } else if (!lineFeed.isEmpty() && splices.last().end < size) {
    splices.append({size, size, lineFeed});
  }
  return splices;
}

QByteArray ApplySplices(QByteArrayView content, const QList<IniSplice>& splices) {
  QByteArray out;
  qsizetype pos = 0;
  for (const IniSplice& splice : splices) {
    out += content.sliced(pos, splice.begin - pos);
    out += splice.text;
    pos = splice.end;
  }
  out += content.sliced(pos);
  return out;
}
