#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The one exception type of the program and of ZKit10: a numbered error with
// the source where it arose and its description. It is header-only so that
// ZKit10 can raise it without linking the program's own library.
class ProgramError : public std::exception {
 public:
  ProgramError(qint32 number, QString source, QString description)
      : number_(number),
        source_(std::move(source)),
        description_(std::move(description)),
        what_(QStringLiteral("Error %1 - %2").arg(number_).arg(description_).toUtf8()) {}

  qint32 Number() const { return number_; }
  const QString& Source() const { return source_; }
  const QString& Description() const { return description_; }
  const char* what() const noexcept override { return what_.constData(); }

 private:
  qint32 number_;
  QString source_;
  QString description_;
  QByteArray what_;
};

// Numbers of errors that are not the program's own but that it reports in the
// same way, with the descriptions users know them by.
inline constexpr qint32 kErrInvalidProcedureCall = 5;
inline constexpr qint32 kErrSubscriptOutOfRange = 9;
inline constexpr qint32 kErrFileNotFound = 53;
inline constexpr qint32 kErrPathFileAccess = 75;
inline constexpr qint32 kErrInvalidPicture = 481;
