#include <QtTest>

#include "kit/StringList.h"
#include "platform/linux/LinuxProcessInfo.h"

class tst_LinuxProcessInfo : public QObject {
  Q_OBJECT

 private slots:
  void commandLineSplitsBackIntoTheArguments_data();
  void commandLineSplitsBackIntoTheArguments();
  void ownProcessAndName();
  void displayThatIsNotThereIsNotInteractive();
};

void tst_LinuxProcessInfo::commandLineSplitsBackIntoTheArguments_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::newRow("none") << QStringList{};
  QTest::newRow("option") << QStringList{"/rotate"};
  QTest::newRow("empty") << QStringList{""};
  QTest::newRow("empty among others") << QStringList{"a", "", "b"};
  QTest::newRow("blanks") << QStringList{" lead", "in side", "trail ", "  "};
  QTest::newRow("quotes") << QStringList{"\"", "a\"b", "\"\"", "\"q\""};
  QTest::newRow("tab and semicolon stay plain") << QStringList{"a\tb", "c;d", "ü"};
}

void tst_LinuxProcessInfo::commandLineSplitsBackIntoTheArguments() {
  QFETCH(QStringList, arguments);
  StringList split;  // the command-line defaults, as the program's argument list has
  split.SetText(JoinCommandLine(arguments));
  QStringList items;
  for (int i = 1; i <= split.Count(); ++i) items += split.Item(i);
  QCOMPARE(items, arguments);
}

void tst_LinuxProcessInfo::ownProcessAndName() {
  QCOMPARE(ProcessArguments(), QCoreApplication::arguments());
  LinuxProcessInfo process;
  QCOMPARE(process.ExecutableName(), "tst_linuxprocessinfo");
  QCOMPARE(process.CommandLineText(), JoinCommandLine(QCoreApplication::arguments().mid(1)));
}

void tst_LinuxProcessInfo::displayThatIsNotThereIsNotInteractive() {
  qunsetenv("WAYLAND_DISPLAY");
  qunsetenv("QT_QPA_PLATFORM");
  qputenv("DISPLAY", ":46");
  QVERIFY(!DetectInteractiveDisplay());
  qunsetenv("DISPLAY");
  qputenv("WAYLAND_DISPLAY", "no-such-wayland-socket");
  QVERIFY(!DetectInteractiveDisplay());
}

QTEST_GUILESS_MAIN(tst_LinuxProcessInfo)
#include "tst_linuxprocessinfo.moc"
