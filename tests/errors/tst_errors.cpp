#include <QtTest>

#include "errors/Errors.h"
#include "support/TestSupport.h"

using namespace modMain;

class tst_Errors : public QObject {
  Q_OBJECT

 private slots:
  void descriptionsAndFallbacks_data();
  void descriptionsAndFallbacks();
  void raiseTracesTwoLinesAndCarriesSource_data();
  void raiseTracesTwoLinesAndCarriesSource();
};

void tst_Errors::descriptionsAndFallbacks_data() {
  QTest::addColumn<qint32>("number");
  QTest::addColumn<QString>("description");
  QTest::newRow("first own error") << kErrUnexpectedInternal << "Unexpected internal error";
  QTest::newRow("invalid parameter") << qint32(-2147213311) << "Invalid Parameter";
  QTest::newRow("last string") << kErrFolderNotFound << "Folder not found";
  QTest::newRow("one past the table")
      << qint32(kErrBase + 3) << "Description for error '-2147213309' not found";
  QTest::newRow("one before the table")
      << qint32(kErrBase - 1) << "Description for error '-2147213313' not found";
  QTest::newRow("zero") << 0 << "Description for error '0' not found";
  QTest::newRow("positive") << 5 << "Description for error '5' not found";
  QTest::newRow("largest") << qint32(2147483647) << "Description for error '2147483647' not found";
  QTest::newRow("smallest") << qint32(-2147483647 - 1)
                            << "Description for error '-2147483648' not found";
}

void tst_Errors::descriptionsAndFallbacks() {
  QFETCH(qint32, number);
  QFETCH(QString, description);
  TraceRecorder trace;
  QCOMPARE(ErrorDescription(number), description);
  QCOMPARE(trace.Lines(), QStringList{QStringLiteral("* ErrDescr(Number:=") +
                                      QString::number(number) + ") [= " + description + "]"});
}

void tst_Errors::raiseTracesTwoLinesAndCarriesSource_data() {
  QTest::addColumn<qint32>("number");
  QTest::addColumn<std::optional<QString>>("source");
  QTest::addColumn<QString>("raisedSource");
  QTest::addColumn<QStringList>("traceLines");
  QTest::newRow("no source gives the project name alone")
      << kErrUnexpectedInternal << std::optional<QString>() << "ZVistaro02"
      << QStringList{"* Error (Number:=-2147213312, Source:='')",
                     "* ErrDescr(Number:=-2147213312) [= Unexpected internal error]"};
  QTest::newRow("empty source still adds the point")
      << kErrUnexpectedInternal << std::optional<QString>(QString()) << "ZVistaro02."
      << QStringList{"* Error (Number:=-2147213312, Source:='.')",
                     "* ErrDescr(Number:=-2147213312) [= Unexpected internal error]"};
  QTest::newRow("image list") << kErrInvalidParameter << std::optional<QString>("ZVRImageList")
                              << "ZVistaro02.ZVRImageList"
                              << QStringList{
                                     "* Error (Number:=-2147213311, Source:='.ZVRImageList')",
                                     "* ErrDescr(Number:=-2147213311) [= Invalid Parameter]"};
  QTest::newRow("source holding placeholders stays as it is")
      << qint32(7) << std::optional<QString>("%1 %2") << "ZVistaro02.%1 %2"
      << QStringList{"* Error (Number:=7, Source:='.%1 %2')",
                     "* ErrDescr(Number:=7) [= Description for error '7' not found]"};
}

void tst_Errors::raiseTracesTwoLinesAndCarriesSource() {
  QFETCH(qint32, number);
  QFETCH(std::optional<QString>, source);
  QFETCH(QString, raisedSource);
  QFETCH(QStringList, traceLines);
  TraceRecorder trace;
  try {
    RaiseError(number, source);
    QFAIL("RaiseError returned");
  } catch (const ProgramError& error) {
    QCOMPARE(error.Number(), number);
    QCOMPARE(error.Source(), raisedSource);
    QCOMPARE(error.Description(), ErrorDescription(number));
  }
  QCOMPARE(trace.Lines().mid(0, 2), traceLines);
}

QTEST_GUILESS_MAIN(tst_Errors)
#include "tst_errors.moc"
