#pragma once

#include <memory>

#include "platform/Platform.h"

// The plain files of one folder whose names match the last element of a
// path. Only "*" (any run of characters) and "?" (one character) are
// wildcards; every other character, "[", ";" and blanks included, stands for
// itself, and letter case counts. Hidden files, folders and special files
// are left out; matches come sorted by name.
class LinuxPatternListing : public PatternListing {
 public:
  QStringList Matches(const QString& pattern) override;
};

// Whether the whole name matches the wildcard element.
bool MatchesWildcards(const QString& element, const QString& name);
