#pragma once

#include <QString>

#include <functional>
#include <initializer_list>

#include "kit/StringList.h"
#include "zkit10_export.h"

// The helper library's global object: the program's argument list, the trace
// output and a few file and number helpers. One instance, created on first
// use by KitGlobal() and kept until the program ends.
class ZKIT10_EXPORT ZKitGlobal {
 public:
  using TraceSink = std::function<void(const QString& line)>;

  ZKitGlobal(const ZKitGlobal&) = delete;
  ZKitGlobal& operator=(const ZKitGlobal&) = delete;

  // The same list on every call. Its settings are a blank as separator and a
  // double quote as both quotes, so that it splits like a command line.
  StringList& Arguments();

  // Writes one line to the trace output. The level is accepted for callers
  // that pass one; every line is written.
  void Trace(const QString& line, int level);

  // Replaces the trace output; an empty sink restores the default, which
  // appends to the file named by ZVISTARO_TRACE ("-" for standard error) and
  // writes nothing when that is unset.
  void SetTraceSink(TraceSink sink);

  // True exactly when the text names a regular file or a link to one.
  // Folders, FIFOs, sockets and devices are false, as are empty text and
  // names holding NUL.
  bool FileExists(const QString& path) const;

  // The folder followed by exactly one separator, however many it ended in.
  // A backslash separator also counts a trailing slash as one.
  QString EnsureTrailing(const QString& folder, const QString& separator) const;

  // The smallest of the numbers; an empty list is an invalid call (error 5).
  double Min(std::initializer_list<double> values) const;

 private:
  friend ZKIT10_EXPORT ZKitGlobal& KitGlobal();
  ZKitGlobal();

  StringList arguments_;
  TraceSink sink_;
};

ZKIT10_EXPORT ZKitGlobal& KitGlobal();

// The trace output used when the program hands in none.
ZKIT10_EXPORT void WriteDefaultTrace(const QString& line);
