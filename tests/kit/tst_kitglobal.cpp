#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/types.h>

#include "kit/KitGlobal.h"
#include "kit/ProgramError.h"
#include "support/TestSupport.h"

class tst_KitGlobal : public QObject {
  Q_OBJECT

 private slots:
  void fileExistsOnlyForRegularFiles();
  void ensureTrailing_data();
  void ensureTrailing();
  void minTakesTheSmallest();
  void traceGoesToTheSinkOrTheTraceFile();
};

void tst_KitGlobal::fileExistsOnlyForRegularFiles() {
  QTemporaryDir dir;
  const QString file = MakeFile(dir.path(), "a b.bmp");
  const QString link = dir.filePath("link.bmp");
  QVERIFY(QFile::link(file, link));
  const QString dangling = dir.filePath("dangling.bmp");
  QVERIFY(QFile::link(dir.filePath("gone"), dangling));
  const QString fifo = dir.filePath("fifo.bmp");
  QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  QDir(dir.path()).mkdir("folder.bmp");

  const ZKitGlobal& kit = KitGlobal();
  QVERIFY(kit.FileExists(file));
  QVERIFY(kit.FileExists(link));
  QVERIFY(!kit.FileExists(dangling));
  QVERIFY(!kit.FileExists(fifo));
  QVERIFY(!kit.FileExists(dir.filePath("folder.bmp")));
  QVERIFY(!kit.FileExists(QStringLiteral("/dev/null")));
  QVERIFY(!kit.FileExists(dir.filePath("missing.bmp")));
  QVERIFY(!kit.FileExists(QString()));
  QVERIFY(!kit.FileExists(file + QChar(u'\0') + "tail"));
  QVERIFY(!kit.FileExists(file.toUpper()));
}

void tst_KitGlobal::ensureTrailing_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("result");
  QTest::newRow("none") << "/pics"
                        << "/"
                        << "/pics/";
  QTest::newRow("one") << "/pics/"
                       << "/"
                       << "/pics/";
  QTest::newRow("several") << "/pics///"
                           << "/"
                           << "/pics/";
  QTest::newRow("root") << "/"
                        << "/"
                        << "/";
  QTest::newRow("empty") << ""
                         << "/"
                         << "/";
  QTest::newRow("backslash") << "C:\\pics"
                             << "\\"
                             << "C:\\pics\\";
  QTest::newRow("drive root") << "C:\\"
                              << "\\"
                              << "C:\\";
  QTest::newRow("slash counts for a backslash") << "C:/pics/\\/"
                                                << "\\"
                                                << "C:/pics\\";
}

void tst_KitGlobal::ensureTrailing() {
  QFETCH(QString, folder);
  QFETCH(QString, separator);
  QFETCH(QString, result);
  QCOMPARE(KitGlobal().EnsureTrailing(folder, separator), result);
}

void tst_KitGlobal::minTakesTheSmallest() {
  QCOMPARE(KitGlobal().Min({169.0, 300.019}), 169.0);
  QCOMPARE(KitGlobal().Min({-1.5, 0.0, 2.0}), -1.5);
  QVERIFY_THROWS_EXCEPTION(ProgramError, KitGlobal().Min({}));
}

void tst_KitGlobal::traceGoesToTheSinkOrTheTraceFile() {
  QTemporaryDir dir;
  const QString traceFile = dir.filePath("trace.log");
  qputenv("ZVISTARO_TRACE", QFile::encodeName(traceFile));
  KitGlobal().Trace(QStringLiteral("first"), 0);
  {
    TraceRecorder recorder;
    KitGlobal().Trace(QStringLiteral("to the sink"), 0);
    QCOMPARE(recorder.Lines(), QStringList{"to the sink"});
  }
  KitGlobal().Trace(QString::fromUtf8("zweite Zeile – ü"), 0);
  qunsetenv("ZVISTARO_TRACE");
  KitGlobal().Trace(QStringLiteral("nowhere"), 0);

  QFile file(traceFile);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(file.readAll()), QString::fromUtf8("first\nzweite Zeile – ü\n"));
}

QTEST_GUILESS_MAIN(tst_KitGlobal)
#include "tst_kitglobal.moc"
