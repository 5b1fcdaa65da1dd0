#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/linux/IniSettingsStore.h"
#include "platform/linux/IniText.h"
#include "platform/linux/XdgConfig.h"
#include "support/TestSupport.h"

namespace {

// What QSettings reads from the given file content under Main/Key. Each
// content gets a file of its own: QSettings caches what it read by name.
QString ReadBack(const QTemporaryDir& dir, const QByteArray& content) {
  static int files = 0;
  const QString path = MakeFile(dir.path(), QStringLiteral("s%1.ini").arg(++files), content);
  return QSettings(path, QSettings::IniFormat).value("Main/Key").toString();
}

constexpr char kApplication[] = "Zorvane Vistaro 0.2";

}  // namespace

class tst_SettingsFile : public QObject {
  Q_OBJECT

 private slots:
  void valuesReadBackThroughQSettings();
  void handEditedValuesReadAsQSettingsReadsThem_data();
  void handEditedValuesReadAsQSettingsReadsThem();
  void otherLinesAreKept_data();
  void otherLinesAreKept();
  void filesOfEveryForm_data();
  void filesOfEveryForm();
  void damagedFileStopsNoWrite();
  void replacedFileIsDatedAfterAFutureOne();
  void configFolderFollowsXdg();
};

// Special cases first, then random mixes of the characters that matter.
void tst_SettingsFile::valuesReadBackThroughQSettings() {
  QStringList values{"", "  padded  ", "@Variant(x)", QString::fromUtf8("\r\x01\x7f😀")};
  const QString alphabet = QStringLiteral("\"; ,=@a1f\\\n\x1f\u00DC\u20AC[]") + QChar(u'\0');
  QRandomGenerator random(4711);
  for (int round = 0; round < 500; ++round) {
    QString value;
    for (int i = random.bounded(12); i > 0; --i)
      value += alphabet.at(random.bounded(alphabet.size()));
    values.append(value);
  }
  QTemporaryDir dir;
  for (const QString& value : values) {
    const QByteArray content = SetIniValue({}, "Main", "Key", value);
    if (ReadBack(dir, content) != value ||
        IniLayout::Scan(content)->Value(content, "Main", "Key") != value) {
      QFAIL(qPrintable("value not read back: " + value.toUtf8().toPercentEncoding()));
    }
  }
}

void tst_SettingsFile::handEditedValuesReadAsQSettingsReadsThem_data() {
  QTest::addColumn<QByteArray>("lines");
  QTest::addColumn<bool>("answered");  // false: only QSettings can tell
  const auto row = [](const char* lines, bool answered = true) {
    QTest::newRow(lines) << QByteArray(lines) << answered;
  };
  row("Key=  blanks  around  ");
  row("Key = a ; a comment");
  row("Key=\"a;b\" and \"c\" ");
  row("Key=\\x41g\\101\\q\\x\\t ");
  row("Key=\xc3\xbc\\\"\xe2\x82\xac");
  row("Key=first\nOther=1\nKey=second");
  row("Key=@@at");
  row("Key=a, b", false);
  row("Key=@Variant(x)", false);
  row("Key=\xff", false);
}

// The file's own reader answers for what this program writes and what a
// user may type, and answers what QSettings answers.
void tst_SettingsFile::handEditedValuesReadAsQSettingsReadsThem() {
  QFETCH(QByteArray, lines);
  QFETCH(bool, answered);
  const QByteArray content = "[Main]\n" + lines + "\n";
  const std::optional<QString> value = IniLayout::Scan(content)->Value(content, "Main", "Key");
  QCOMPARE(value.has_value(), answered);
  QTemporaryDir dir;
  if (value) QCOMPARE(*value, ReadBack(dir, content));
}

void tst_SettingsFile::otherLinesAreKept_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QByteArray>("result");
  const auto row = [](const char* tag, const char* content, const char* result) {
    QTest::newRow(tag) << QByteArray(content) << QByteArray(result);
  };
  row("new file", "", "[Main]\nKey=v\n");
  row("replaced in place", "; c\n[Main]\nA=1\nKey=old\nB=2\n", "; c\n[Main]\nA=1\nKey=v\nB=2\n");
  row("added to its section, not the next", "[Main]\nA=1\n\n[Other]\nKey=x\n",
      "[Main]\nA=1\n\nKey=v\n[Other]\nKey=x\n");
  row("section added", "[Other]\nA=1", "[Other]\nA=1\n\n[Main]\nKey=v\n");
  row("continuation lines and later lines dropped", "[Main]\nKey = a\\\nmore\nC=3\nKey=b",
      "[Main]\nKey=v\nC=3\n");
  row("longer key name is another key", "[Main]\nKeyboard=1\n", "[Main]\nKeyboard=1\nKey=v\n");
}

void tst_SettingsFile::otherLinesAreKept() {
  QFETCH(QByteArray, content);
  QFETCH(QByteArray, result);
  QCOMPARE(SetIniValue(content, "Main", "Key", "v"), result);
  // The store writes the same file in pieces around the changed lines.
  if (const std::optional<IniLayout> layout = IniLayout::Scan(content)) {
    QCOMPARE(ApplySplices(content, layout->Set(content, "Main", "Key", "v")), result);
  }
}

void tst_SettingsFile::filesOfEveryForm_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<bool>("plain");
  const auto row = [](const char* tag, const QByteArray& content, bool plain) {
    QTest::newRow(tag) << content << plain;
  };
  row("as written", "[Main]\nA=\"x; y\"\n\n; note\n[Other]\nB=1\nC=\"s \\\"q\\\"\"\n", true);
  row("continued line", "[Main]\nA=x\\\nKey=old\n", false);
  row("escaped key", "[Main]\nImage%4cist=1\n", false);
  row("line without a key", "[Main]\ngarbage\n", false);
  row("repeated section", "[Main]\nA=1\n[Main]\nB=2\n", false);
  row("quote left open", "A=\"q\n[Main]\nB=1\n", false);
}

// Only a file in the plain form is edited line by line. Whatever form the
// file had, the value written is the value read, and the other values
// QSettings read from the file before are still there.
void tst_SettingsFile::filesOfEveryForm() {
  QFETCH(QByteArray, content);
  QFETCH(bool, plain);
  QCOMPARE(IsPlainIni(content), plain);
  QTemporaryDir dir;
  IniSettingsStore store(dir.path());
  const QString path = MakeFile(dir.path(), "App.ini", content);
  QMap<QString, QVariant> before;
  {
    QSettings settings(path, QSettings::IniFormat);
    for (const QString& key : settings.allKeys()) before.insert(key, settings.value(key));
  }
  const QString value = QString::fromUtf8("\"/p/a b.png\"; \"/p/ü.jpg\"");
  store.Write("App", "Main", "Key", value);
  QCOMPARE(store.Read("App", "Main", "Key"), value);
  QSettings after(path, QSettings::IniFormat);
  for (auto it = before.cbegin(); it != before.cend(); ++it) {
    if (it.key() != "Main/Key") QCOMPARE(after.value(it.key()), it.value());
  }
}

// A hand-edited file with lines that QSettings does not give back as it
// read them stops no write and loses no value.
void tst_SettingsFile::damagedFileStopsNoWrite() {
  QTemporaryDir dir;
  IniSettingsStore store(dir.filePath("new"));
  store.Write(kApplication, "Main", "Key", "v");
  MakeFile(dir.filePath("new"), "Zorvane Vistaro 0.2.ini",
           QByteArrayLiteral("\\k=v\n"
                             "[Main]\n"
                             "\\ImageListContent=a\n"
                             "ImageListContent=b\n"
                             "ImageListLastSelected=/p/a, b.png\n"
                             "x=\0, y\n"
                             "[%GEneral]\n"
                             "g=1\n"));
  store.Write(kApplication, "Main", "ImageListContent", "/p/c.png");
  QCOMPARE(IniSettingsStore(dir.filePath("new")).Read(kApplication, "Main", "ImageListContent"),
           "/p/c.png");
  QCOMPARE(store.Read(kApplication, "Main", "ImageListLastSelected"), "/p/a, b.png");
}

// QSettings serves a file from its cache while the file's size and date
// stay as they were, so each file put in place must be dated at least a
// millisecond after the one it replaces, even one dated in the future.
void tst_SettingsFile::replacedFileIsDatedAfterAFutureOne() {
  QTemporaryDir dir;
  IniSettingsStore store(dir.path());
  const QString path = store.FilePath(kApplication);
  store.Write(kApplication, "Main", "Key", "a");
  QDateTime previous = QFileInfo(path).lastModified().addSecs(60);
  {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(previous, QFileDevice::FileModificationTime));
  }
  QCOMPARE(store.Read(kApplication, "Main", "Key"), "a");
  for (const QString value : {"b", "c"}) {
    store.Write(kApplication, "Main", "Key", value);
    const QDateTime written = QFileInfo(path).lastModified();
    QVERIFY2(written >= previous.addMSecs(1), qPrintable(written.toString(Qt::ISODateWithMs)));
    QCOMPARE(store.Read(kApplication, "Main", "Key"), value);
    previous = written;
  }
}

void tst_SettingsFile::configFolderFollowsXdg() {
  qputenv("HOME", "/home/someone");
  qputenv("XDG_CONFIG_HOME", "/x/config/");
  QCOMPARE(XdgConfigHome(), "/x/config");
  qputenv("XDG_CONFIG_HOME", "relative/config");
  QCOMPARE(XdgConfigHome(), "/home/someone/.config");
  qunsetenv("XDG_CONFIG_HOME");
  QCOMPARE(XdgConfigHome(), "/home/someone/.config");
}

QTEST_GUILESS_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
