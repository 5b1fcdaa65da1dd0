#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>

class QIODevice;

// The image list as a file of its own: UTF-8 text, one name a line, in list
// order, duplicates kept. A name that cannot stand on a line as it is (one
// holding a line break, beginning or ending with a blank, relative, or
// holding half of a UTF-16 surrogate pair, which UTF-8 cannot carry) is
// written as a "file:" URI with every byte but letters, digits, "-._~" and
// "/" percent-encoded: "file:///p/a%0Ab.png". An absolute name begins with
// "/", so no name is ever mistaken for one.
//
// The file is the user's to write too (find ~/Pictures -name '*.jpg' > ...):
// blank lines are ignored, so are blanks around a line, a carriage return at
// its end and a byte-order mark at its start, and a relative name is taken
// as relative to the home folder.

// Appends the line that stands for the name, with its line feed.
void AppendListLine(QByteArray& out, QStringView name);

// The name a line (without its line feed) stands for, put into name, whose
// room is reused; false for a blank line.
bool ListName(QByteArrayView line, QString& name);

// Tells the lines that stand for one name. The bytes are compared with the
// name's own line; only a line in another form than AppendListLine writes
// (a URI, a relative name, blanks around it) is read as a name.
class ListLineMatcher {
 public:
  explicit ListLineMatcher(QString name);
  // Whether the line (without its line feed) stands for the name.
  bool Matches(QByteArrayView line);

 private:
  QString name_;
  QByteArray line_;
  // A name holding U+FFFD (as bytes that are no UTF-8 read) or a carriage
  // return (which a line written by hand may hold inside) may stand for a
  // line of other bytes than its own: each line is read.
  bool readEachLine_;
  QString scratch_;
};

// Reads the device from where it stands to its end, a piece of the given
// size at a time, and hands visit each line without its line feed, until
// visit returns false. Only the unfinished line at the end of a piece is
// kept for the next one. False when the device failed to read or a line is
// longer than any name (a megabyte).
bool ForEachLine(QIODevice& device, qsizetype piece,
                 const std::function<bool(QByteArrayView)>& visit);
