#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The one exception type of the program and of ZKit10: a numbered error with
// the source where it arose and its description. It is header-only so that
// ZKit10 can raise it without linking the program's own library.
//
// The cause says in plain words what failed, naming the file or value, and
// what to do ("\"/p/x.webp\" is not a picture this installation can read
// (Unsupported image format)"). The error report prints it on a line of its
// own after the unchanged report line. It is given where the failure is
// known: when raising, or by a caller that knows more (WithCause).
class ProgramError : public std::exception {
 public:
  ProgramError(qint32 number, QString source, QString description, QString cause = {})
      : number_(number),
        source_(std::move(source)),
        description_(std::move(description)),
        cause_(std::move(cause)),
        what_(Text(number_, description_).toUtf8()) {}

  // "Error <number> - <description>": how every report of an error reads.
  static QString Text(qint32 number, const QString& description) {
    return QStringLiteral("Error %1 - %2").arg(number).arg(description);
  }

  qint32 Number() const { return number_; }
  const QString& Source() const { return source_; }
  const QString& Description() const { return description_; }
  // Empty when whoever raised the error could not say more.
  const QString& Cause() const { return cause_; }
  const char* what() const noexcept override { return what_.constData(); }

  // The same error with its cause given.
  ProgramError WithCause(QString cause) const {
    return ProgramError(number_, source_, description_, std::move(cause));
  }

 private:
  qint32 number_;
  QString source_;
  QString description_;
  QString cause_;
  QByteArray what_;
};

// Numbers of errors that are not the program's own but that it reports in the
// same way, with the descriptions users know them by.
inline constexpr qint32 kErrInvalidProcedureCall = 5;
inline constexpr qint32 kErrSubscriptOutOfRange = 9;
inline constexpr qint32 kErrFileNotFound = 53;
inline constexpr qint32 kErrPathFileAccess = 75;
inline constexpr qint32 kErrInvalidPicture = 481;
