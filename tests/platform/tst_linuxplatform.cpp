#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include "kit/ProgramError.h"
#include "kit/StringList.h"
#include "platform/linux/AutostartEntry.h"
#include "platform/linux/LinuxPatternListing.h"
#include "platform/linux/LinuxProcessInfo.h"
#include "support/TestSupport.h"

namespace {

const QString kRun =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\");
constexpr qint32 kInvalidArgument = -2147024809;

template <typename Call>
qint32 ErrorOf(Call call) {
  try {
    call();
  } catch (const ProgramError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace

class tst_LinuxPlatform : public QObject {
  Q_OBJECT

 private slots:
  void refusedEntriesWriteNothingAndFoldersStay();
  void wildcards_data();
  void wildcards();
  void listingTakesOnlyPlainFilesAndLinksToThem();
  void processCommandLineAndDisplays();
};

// Paths outside the user's Run key are refused before anything is written;
// a folder in an entry's place is no entry to delete; an entry is named
// after its value.
void tst_LinuxPlatform::refusedEntriesWriteNothingAndFoldersStay() {
  QTemporaryDir dir;
  AutostartRegistry registry(dir.path());
  QCOMPARE(registry.EntryFile("hkcu\\SOFTWARE\\microsoft\\windows\\currentversion\\run\\../x/y"),
           dir.filePath("..-x-y.desktop"));
  for (const QString& path :
       {QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\x"),
        kRun, kRun + "sub\\x", QStringLiteral("x"), kRun + "e\nf"}) {
    QCOMPARE(ErrorOf([&] { registry.RegWrite(path, "x"); }), kInvalidArgument);
  }
  QVERIFY(QDir(dir.path()).isEmpty());
  QVERIFY(QDir(dir.path()).mkdir("e.desktop"));
  QVERIFY(ErrorOf([&] { registry.RegDelete(kRun + "e"); }) != 0);
  QVERIFY(QFileInfo(dir.filePath("e.desktop")).isDir());
  registry.RegWrite(kRun + "My Entry", "x");
  QFile entry(dir.filePath("My-Entry.desktop"));
  QVERIFY(entry.open(QIODevice::ReadOnly) && entry.readAll().contains("\nName=My Entry\n"));
}

void tst_LinuxPlatform::wildcards_data() {
  QTest::addColumn<QString>("element");
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("matches");
  const auto row = [](const char* tag, const char* element, const char* name, bool matches) {
    QTest::newRow(tag) << QString::fromUtf8(element) << QString::fromUtf8(name) << matches;
  };
  row("star matches nothing", "a*", "a", true);
  row("star backtracks", "*ab*cd", "xabyabzcd", true);
  row("star cannot skip the tail", "*ab*cd", "xabyabzc", false);
  row("question mark needs a character", "a?", "a", false);
  row("question mark over a surrogate pair", "?.bmp", "\U0001F600.bmp", true);
  row("whole name only", "a.bmp", "a.bmpx", false);
}

void tst_LinuxPlatform::wildcards() {
  QFETCH(QString, element);
  QFETCH(QString, name);
  QFETCH(bool, matches);
  QCOMPARE(MatchesWildcards(element, name), matches);
}

void tst_LinuxPlatform::listingTakesOnlyPlainFilesAndLinksToThem() {
  QTemporaryDir dir;
  MakeFile(dir.path(), "a.bmp");
  QVERIFY(QFile::link(dir.filePath("a.bmp"), dir.filePath("link.bmp")));
  QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling.bmp")));
  QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.bmp")).constData(), 0600), 0);
  LinuxPatternListing listing;
  QCOMPARE(listing.Matches(dir.filePath("*")), (QStringList{"a.bmp", "link.bmp"}));
  QCOMPARE(listing.Matches(dir.filePath("*") + QChar(u'\0')), QStringList());
}

// The command line joined from odd arguments splits back into them with the
// program's argument list; a display that is not there is not interactive.
void tst_LinuxPlatform::processCommandLineAndDisplays() {
  for (const QStringList& arguments :
       {QStringList{}, QStringList{""}, QStringList{"a", "", " lead", "in side", "trail ", "  "},
        QStringList{"\"", "a\"b", "\"\"", "\"q\"", "a\tb", "c;d", "ü"}}) {
    StringList split;
    split.SetText(JoinCommandLine(arguments));
    QStringList items;
    for (int i = 1; i <= split.Count(); ++i) items += split.Item(i);
    QCOMPARE(items, arguments);
  }
  QCOMPARE(ProcessArguments(), QCoreApplication::arguments());
  LinuxProcessInfo process;
  QCOMPARE(process.ExecutableName(), "tst_linuxplatform");
  QCOMPARE(process.CommandLineText(), JoinCommandLine(QCoreApplication::arguments().mid(1)));
  qunsetenv("WAYLAND_DISPLAY");
  qunsetenv("QT_QPA_PLATFORM");
  qputenv("DISPLAY", ":46");
  QVERIFY(!DetectInteractiveDisplay());
  qunsetenv("DISPLAY");
  qputenv("WAYLAND_DISPLAY", "no-such-wayland-socket");
  QVERIFY(!DetectInteractiveDisplay());
}

QTEST_GUILESS_MAIN(tst_LinuxPlatform)
#include "tst_linuxplatform.moc"
