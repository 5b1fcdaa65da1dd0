#include "resources/StringTable.h"

#include <array>
#include <utility>

namespace {

// The same strings stand in ZVistaro02.rc for the Windows resource.
constexpr std::array<std::pair<qint64, const char*>, 3> kStrings{{
    {1001, "Unexpected internal error"},
    {1002, "Invalid Parameter"},
    {1003, "Folder not found"},
}};

}  // namespace

std::optional<QString> LoadResString(qint64 id) {
  for (const auto& [key, text] : kStrings) {
    if (key == id) return QString::fromLatin1(text);
  }
  return std::nullopt;
}
