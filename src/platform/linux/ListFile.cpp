#include "platform/linux/ListFile.h"

#include <QDir>
#include <QIODevice>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>
#include <utility>

namespace {

constexpr QByteArrayView kAbsoluteUri = "file://";
constexpr QByteArrayView kUri = "file:";
constexpr QByteArrayView kByteOrderMark = "\xEF\xBB\xBF";
// No name is this long, even as a URI; a file holding such a line (a sparse
// file of gigabytes) is no list, and is not read into memory whole.
constexpr qsizetype kLongestLine = qsizetype{1} << 20;

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

// What a text editor may leave around a line.
bool IsBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool StandsOnALine(QStringView name) {
  return name.startsWith(u'/') && !IsBlank(name.back()) && !name.contains(u'\n') &&
         !name.contains(u'\r') && name.isValidUtf16();
}

void AppendUtf8(QByteArray& out, QStringView text) {
  const qsizetype at = out.size();
  out.resize(at + 3 * text.size());
  QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  out.resize(encoder.appendToBuffer(out.data() + at, text) - out.constData());
}

void AppendUtf8(QString& out, QByteArrayView bytes) {
  const qsizetype at = out.size();
  out.resize(at + bytes.size());
  QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                     QStringConverter::Flag::ConvertInitialBom);
  out.resize(decoder.appendToBuffer(out.data() + at, bytes) - out.constData());
}

// The name's UTF-8, with a lone surrogate in the three bytes its code unit
// would take (which UTF-8 itself forbids), so that the name comes back whole.
QByteArray GeneralisedUtf8(QStringView name) {
  QByteArray bytes;
  qsizetype done = 0;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i].unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < name.size() &&
        QChar::isLowSurrogate(name[i + 1].unicode())) {
      ++i;
    } else if (QChar::isSurrogate(unit)) {
      AppendUtf8(bytes, name.sliced(done, i - done));
      bytes += static_cast<char>(0xE0 | (unit >> 12));
      bytes += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (unit & 0x3F));
      done = i + 1;
    }
  }
  AppendUtf8(bytes, name.sliced(done));
  return bytes;
}

// Reads what GeneralisedUtf8 writes (bytes that are no UTF-8 at all come
// out as U+FFFD, as Qt reads them everywhere).
void AppendGeneralisedUtf8(QString& name, QByteArrayView bytes) {
  const auto byte = [&bytes](qsizetype at) { return static_cast<uchar>(bytes[at]); };
  qsizetype done = 0;
  for (qsizetype i = 0; i + 2 < bytes.size(); ++i) {
    if (byte(i) != 0xED || (byte(i + 1) & 0xE0) != 0xA0 || (byte(i + 2) & 0xC0) != 0x80) continue;
    AppendUtf8(name, bytes.sliced(done, i - done));
    name +=
        QChar(static_cast<char16_t>(0xD000 | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F)));
    done = i + 3;
    i += 2;
  }
  AppendUtf8(name, bytes.sliced(done));
}

}  // namespace

void AppendListLine(QByteArray& out, QStringView name) {
  if (StandsOnALine(name)) {
    AppendUtf8(out, name);
  } else {
    out.append(name.startsWith(u'/') ? kAbsoluteUri : kUri);
    out.append(GeneralisedUtf8(name).toPercentEncoding("/"));
  }
  out.append('\n');
}

bool ListName(QByteArrayView line, QString& name) {
  if (line.startsWith(kByteOrderMark)) line = line.sliced(kByteOrderMark.size());
  while (!line.isEmpty() && IsBlankByte(line.back())) line.chop(1);
  while (!line.isEmpty() && IsBlankByte(line.front())) line = line.sliced(1);
  if (line.isEmpty()) return false;
  name.truncate(0);
  if (line.startsWith(kUri)) {
    const qsizetype prefix = line.startsWith(kAbsoluteUri) ? kAbsoluteUri.size() : kUri.size();
    AppendGeneralisedUtf8(name, QByteArray::fromPercentEncoding(line.sliced(prefix).toByteArray()));
    return true;
  }
  if (line.front() != '/') name = QDir::homePath() + u'/';
  AppendUtf8(name, line);
  return true;
}

ListLineMatcher::ListLineMatcher(QString name)
    : name_(std::move(name)),
      readEachLine_(name_.contains(QChar::ReplacementCharacter) || name_.contains(u'\r')) {
  AppendListLine(line_, name_);
  line_.chop(1);
}

bool ListLineMatcher::Matches(QByteArrayView line) {
  if (line == line_) return true;
  // A line in the form written for a name that stands on a line is no other
  // name's line.
  if (!readEachLine_ && !line.isEmpty() && line.front() == '/' && !IsBlankByte(line.back())) {
    return false;
  }
  return ListName(line, scratch_) && scratch_ == name_;
}

bool ForEachLine(QIODevice& device, qsizetype piece,
                 const std::function<bool(QByteArrayView)>& visit) {
  QByteArray buffer(piece, Qt::Uninitialized);
  qsizetype kept = 0;  // the unfinished line at the buffer's start
  for (;;) {
    // A line longer than the buffer makes room for itself.
    if (kept == buffer.size()) {
      if (kept >= kLongestLine) return false;
      buffer.resize(2 * buffer.size());
    }
    const qint64 got = device.read(buffer.data() + kept, buffer.size() - kept);
    if (got < 0) return false;
    if (got == 0) {
      if (kept > 0) visit(QByteArrayView(buffer.constData(), kept));
      return true;
    }
    const char* line = buffer.constData();
    const char* const end = line + kept + got;
    // The kept bytes hold no line feed: the search starts after them.
    for (const char* searched = line + kept;;) {
      const auto* lineFeed = static_cast<const char*>(std::memchr(searched, '\n', end - searched));
      if (lineFeed == nullptr) break;
      if (!visit(QByteArrayView(line, lineFeed))) return true;
      line = searched = lineFeed + 1;
    }
    kept = end - line;
    std::memmove(buffer.data(), line, static_cast<size_t>(kept));
  }
}
