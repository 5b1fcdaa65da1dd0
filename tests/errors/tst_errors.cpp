#include <QtTest>

#include "errors/Errors.h"
#include "support/TestSupport.h"

using namespace modMain;

class tst_Errors : public QObject {
  Q_OBJECT

 private slots:
  void raiseCarriesSourceAndDescriptionAndTracesBoth_data();
  void raiseCarriesSourceAndDescriptionAndTracesBoth();
};

void tst_Errors::raiseCarriesSourceAndDescriptionAndTracesBoth_data() {
  QTest::addColumn<qint32>("number");
  QTest::addColumn<std::optional<QString>>("source");  // none: the project name alone
  QTest::addColumn<QString>("description");
  const std::optional<QString> none;
  const QString notFound = "Description for error '%1' not found";
  QTest::newRow("empty source still adds the point")
      << kErrInvalidParameter << std::optional<QString>("") << "Invalid Parameter";
  QTest::newRow("last string") << kErrFolderNotFound << std::optional<QString>("ZVRImageList")
                               << "Folder not found";
  QTest::newRow("one past the table") << kErrBase + 3 << none << notFound.arg(kErrBase + 3);
  QTest::newRow("one before the table") << kErrBase - 1 << none << notFound.arg(kErrBase - 1);
  QTest::newRow("placeholders stay") << 7 << std::optional<QString>("%1") << notFound.arg(7);
  QTest::newRow("largest") << qint32(2147483647) << none << notFound.arg(2147483647);
}

void tst_Errors::raiseCarriesSourceAndDescriptionAndTracesBoth() {
  QFETCH(qint32, number);
  QFETCH(std::optional<QString>, source);
  QFETCH(QString, description);
  const QString suffix = source ? "." + *source : QString();
  TraceRecorder trace;
  try {
    RaiseError(number, source);
    QFAIL("RaiseError returned");
  } catch (const ProgramError& error) {
    QCOMPARE(error.Number(), number);
    QCOMPARE(error.Source(), "ZVistaro02" + suffix);
    QCOMPARE(error.Description(), description);
  }
  QCOMPARE(trace.Lines(),
           (QStringList{QString("* Error (Number:=%1, Source:='%2')").arg(number).arg(suffix),
                        QString("* ErrDescr(Number:=%1) [= %2]").arg(number).arg(description)}));
}

QTEST_GUILESS_MAIN(tst_Errors)
#include "tst_errors.moc"
