#pragma once

#include <QString>

#include <optional>

// The program's string table: the descriptions of its own numbered errors.
// Identifiers outside the table give nothing.
std::optional<QString> LoadResString(qint64 id);
