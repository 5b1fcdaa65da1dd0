#pragma once

#include <QByteArray>
#include <QString>

// Edits the text of an INI settings file in the form QSettings reads, one
// value at a time, leaving every other line as it was. Stored image lists
// can run to megabytes; changing one small value this way costs a copy of
// the bytes instead of a parse and a rewrite of every value.

// The value as QSettings writes a text value: UTF-8, control characters,
// quotes and backslashes escaped, the whole in double quotes when it holds
// ";", "," or "=" or begins or ends with a blank, "@" doubled at the start.
QByteArray EscapeIniValue(const QString& value);

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
