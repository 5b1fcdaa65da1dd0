#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

// Edits the text of an INI settings file in the form QSettings reads, one
// value at a time, leaving every other line as it was. Stored image lists
// can run to megabytes; changing one small value this way costs a copy of
// the bytes instead of a parse and a rewrite of every value.

// The value as QSettings writes a text value: UTF-8, control characters,
// quotes and backslashes escaped, the whole in double quotes when it holds
// ";", "," or "=" or begins or ends with a blank, "@" doubled at the start.
QByteArray EscapeIniValue(const QString& value);
// The same appended to out.
void AppendIniValue(QByteArray& out, const QString& value);
// A text given in pieces: calls take with each piece in order. It may be
// called more than once and gives the same text each time.
using IniPieces = std::function<void(const std::function<void(QStringView)>& take)>;
// The value given in pieces, escaped as the whole of it would be, appended to
// out: a stored list is escaped without being held whole as text.
void AppendIniValue(QByteArray& out, const IniPieces& value);

// Whether the content is in the plain form this program and QSettings write:
// section headers and key lines only (besides blank lines and ";" comments),
// names without escapes, no line continued on the next, no repeated section,
// no control character but line feeds. Only such a file is edited line by line; any other is
// left to QSettings to read and write whole.
bool IsPlainIni(QByteArrayView content);

// The file content with the key of the section set to the value: the first
// line of the key in that section is replaced (with any continuation lines),
// later lines of the same key in that section are dropped, and a missing key
// or section is added.
QByteArray SetIniValue(const QByteArray& content, const QString& section, const QString& key,
                       const QString& value);

// A change of a file's content: the bytes from begin to end replaced by text.
struct IniSplice {
  qsizetype begin;
  qsizetype end;
  QByteArray text;
};

// Where the sections and key lines of content in the plain form lie, found
// in one pass, so that reading or setting a value looks at no other line.
// It holds positions only: use it with the content it was made from.
class IniLayout {
 public:
  // Nothing when the content is not in the plain form.
  static std::optional<IniLayout> Scan(QByteArrayView content);
  // The key's value as QSettings reads it (empty when it is absent), or
  // nothing when only QSettings can tell: a value it reads as a list or as
  // a typed value (beginning with "@"), text that is no valid UTF-8, or its
  // "General" section.
  std::optional<QString> Value(QByteArrayView content, const QString& section,
                               const QString& key) const;
  // The same value handed to take in pieces of at least piece characters
  // (the last may be shorter; a value that cannot be read in pieces comes
  // whole) until take returns false, so that a stored list of megabytes is
  // never held whole. False, with nothing taken, where Value gives nothing.
  bool ValueInPieces(QByteArrayView content, const QString& section, const QString& key,
                     qsizetype piece, const std::function<bool(QStringView)>& take) const;
  // The splices, in the order of the content, that make of it what
  // SetIniValue makes.
  QList<IniSplice> Set(QByteArrayView content, const QString& section, const QString& key,
                       const QString& value) const;
  QList<IniSplice> Set(QByteArrayView content, const QString& section, const QString& key,
                       const IniPieces& value) const;

 private:
  struct Section {
    QByteArray name;
    qsizetype end;  // where the next section's header begins
  };
  struct KeyLine {
    int section;  // -1 before the first section header
    QByteArray name;
    qsizetype begin;  // the line, with its line feed
    qsizetype end;
    qsizetype valueBegin;  // after "=", to the line feed
    qsizetype valueEnd;
  };
  int SectionIndex(const QString& section) const;
  // The key's raw value, to the line's end; nothing when it is absent.
  std::optional<QByteArrayView> RawValue(QByteArrayView content, const QString& section,
                                         const QString& key) const;

  std::vector<Section> sections_;
  std::vector<KeyLine> lines_;
};

// Asks the system for large memory pages over the buffer where it gives
// them on request: a buffer of megabytes in small pages costs a fault for
// every 4 KiB and a translation miss for each on every pass over it.
void PreferLargePages(void* data, qsizetype size);

// The content with the splices applied.
QByteArray ApplySplices(QByteArrayView content, const QList<IniSplice>& splices);
