#pragma once

#include <QString>

#include <optional>

#include "kit/ProgramError.h"

namespace modMain {

// The program's own error numbers, 0x80042000 + k; the description of
// number 0x80042000 + k is string 1001 + k of the string table.
inline constexpr qint32 kErrBase = static_cast<qint32>(0x80042000u);
inline constexpr qint32 kErrUnexpectedInternal = kErrBase;
inline constexpr qint32 kErrInvalidParameter = kErrBase + 1;
inline constexpr qint32 kErrFolderNotFound = kErrBase + 2;

// The project name that begins the source of every error raised here.
inline constexpr char kProjectName[] = "ZVistaro02";

// Traces the error and throws it as a ProgramError. Without a source the
// error's source is the project name alone; with one (even empty text) it is
// the project name, a point and the source. The cause, when given, is the
// error's cause line (see ProgramError).
[[noreturn]] void RaiseError(qint32 number, const std::optional<QString>& source = std::nullopt,
                             const QString& cause = QString());

// The description of an error number from the string table, or a fallback
// text naming the number; traces the result.
QString ErrorDescription(qint32 number);

// Errors of the entry sequence and other library-level failures carry the
// project name as their source.
[[noreturn]] void RaiseSubscriptOutOfRange();

}  // namespace modMain
