#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/linux/IniSettingsStore.h"
#include "platform/linux/IniText.h"
#include "support/TestSupport.h"

namespace {

// What QSettings reads from the given file content under Main/<key>. Each
// content gets a file of its own: QSettings caches what it read by name.
QString ReadBack(const QTemporaryDir& dir, const QByteArray& content, const QString& key) {
  static int files = 0;
  const QString path = MakeFile(dir.path(), QStringLiteral("s%1.ini").arg(++files), content);
  return QSettings(path, QSettings::IniFormat).value("Main/" + key).toString();
}

}  // namespace

class tst_IniText : public QObject {
  Q_OBJECT

 private slots:
  void valuesReadBackThroughQSettings();
  void handEditedValuesReadAsQSettingsReadsThem_data();
  void handEditedValuesReadAsQSettingsReadsThem();
  void otherLinesAreKept_data();
  void otherLinesAreKept();
  void filesOfEveryForm_data();
  void filesOfEveryForm();
};

// Special cases first, then random mixes of the characters that matter.
void tst_IniText::valuesReadBackThroughQSettings() {
  QStringList values{"",
                     "\"/a b.jpg\"; \"/say \"\"hi\"\".png\"",
                     "  padded  ",
                     "@Variant(x)",
                     QString::fromUtf8("a\tb\r\nc\x01"
                                       "d\x7f"),
                     QStringLiteral("a") + QChar(u'\0') + "1f",
                     QString::fromUtf8("Übersicht – 😀.jpg"),
                     "; not a comment"};
  const QList<QChar> alphabet{u'"',    u';',          u' ',          u',',  u'=',  u'@',
                              u'a',    u'1',          u'f',          u'\\', u'\0', u'\n',
                              u'\x1f', QChar(0x00DC), QChar(0x20AC), u'[',  u']'};
  QRandomGenerator random(4711);
  for (int round = 0; round < 500; ++round) {
    QString value;
    const int length = random.bounded(12);
    for (int i = 0; i < length; ++i) value += alphabet.at(random.bounded(alphabet.size()));
    values.append(value);
  }
  QTemporaryDir dir;
  for (const QString& value : values) {
    const QByteArray content = SetIniValue({}, "Main", "Key", value);
    if (ReadBack(dir, content, "Key") != value ||
        IniLayout::Scan(content)->Value(content, "Main", "Key") != value) {
      QFAIL(qPrintable("value not read back: " + value.toUtf8().toPercentEncoding()));
    }
  }
}

void tst_IniText::handEditedValuesReadAsQSettingsReadsThem_data() {
  QTest::addColumn<QByteArray>("lines");
  QTest::addColumn<bool>("answered");  // false: only QSettings can tell
  const auto row = [](const char* lines, bool answered = true) {
    QTest::newRow(lines) << QByteArray(lines) << answered;
  };
  row("Key=  blanks  around  ");
  row("Key = a ; a comment");
  row("Key=\"a;b\" and \"c\" ");
  row("Key=\\x41g\\101\\q\\x");
  row("Key=tab\\t ");
  row("Key=\xc3\xbc\\\"\xe2\x82\xac");
  row("Key=first\nOther=1\nKey=second");
  row("Key=@@at");
  row("Key=a, b", false);
  row("Key=@Variant(x)", false);
  row("Key=\xff", false);
}

// The file's own reader answers for what this program writes and what a
// user may type, and answers what QSettings answers.
void tst_IniText::handEditedValuesReadAsQSettingsReadsThem() {
  QFETCH(QByteArray, lines);
  QFETCH(bool, answered);
  const QByteArray content = "[Main]\n" + lines + "\n";
  const std::optional<QString> value = IniLayout::Scan(content)->Value(content, "Main", "Key");
  QCOMPARE(value.has_value(), answered);
  QTemporaryDir dir;
  if (value) QCOMPARE(*value, ReadBack(dir, content, "Key"));
}

void tst_IniText::otherLinesAreKept_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QByteArray>("result");
  QTest::newRow("new file") << QByteArray() << QByteArray("[Main]\nKey=v\n");
  QTest::newRow("replaced in place") << QByteArray("; comment\n[Main]\nA=1\nKey=old\nB=2\n")
                                     << QByteArray("; comment\n[Main]\nA=1\nKey=v\nB=2\n");
  QTest::newRow("added to its section, not the next")
      << QByteArray("[Main]\nA=1\n\n[Other]\nKey=x\n")
      << QByteArray("[Main]\nA=1\n\nKey=v\n[Other]\nKey=x\n");
  QTest::newRow("section added") << QByteArray("[Other]\nA=1")
                                 << QByteArray("[Other]\nA=1\n\n[Main]\nKey=v\n");
  QTest::newRow("duplicates and continuation lines dropped")
      << QByteArray("[Main]\nKey = a\\\ncontinued\nC=3\nKey=b\n")
      << QByteArray("[Main]\nKey=v\nC=3\n");
  QTest::newRow("later lines of the key dropped")
      << QByteArray("[Main]\nKey=a\nC=3\nKey=b") << QByteArray("[Main]\nKey=v\nC=3\n");
  QTest::newRow("longer key name is another key")
      << QByteArray("[Main]\nKeyboard=1\n") << QByteArray("[Main]\nKeyboard=1\nKey=v\n");
}

void tst_IniText::otherLinesAreKept() {
  QFETCH(QByteArray, content);
  QFETCH(QByteArray, result);
  QCOMPARE(SetIniValue(content, "Main", "Key", "v"), result);
  // The store writes the same file in pieces around the changed lines.
  if (const std::optional<IniLayout> layout = IniLayout::Scan(content)) {
    QCOMPARE(ApplySplices(content, layout->Set(content, "Main", "Key", "v")), result);
  }
}

void tst_IniText::filesOfEveryForm_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<bool>("plain");
  QTest::newRow("empty") << QByteArray() << true;
  QTest::newRow("as written") << QByteArray("[Main]\nA=\"x; y\"\n\n; note\n[Other]\nB=1\n") << true;
  QTest::newRow("continued line") << QByteArray("[Main]\nA=x\\\nKey=old\n") << false;
  QTest::newRow("escaped key") << QByteArray("[Main]\nImage%4cist=1\n") << false;
  QTest::newRow("line without a key") << QByteArray("[Main]\ngarbage\n") << false;
  QTest::newRow("repeated section") << QByteArray("[Main]\nA=1\n[Main]\nB=2\n") << false;
  QTest::newRow("carriage returns") << QByteArray("[Main]\r\nA=1\r\n") << false;
  QTest::newRow("form feed before a section") << QByteArray("\f[Main]\nA=1\n") << false;
  QTest::newRow("text after a section") << QByteArray("[Main] x\nA=1\n") << false;
  QTest::newRow("quote left open") << QByteArray("A=\"q\n[Main]\nB=1\n") << false;
  QTest::newRow("escaped quotes") << QByteArray("[Main]\nA=\"say \\\"hi\\\"\"\n") << true;
  QTemporaryDir dir;
  {
    QSettings settings(dir.filePath("qsettings.ini"), QSettings::IniFormat);
    settings.setValue("Main/List", QString::fromUtf8("\"/p/ä b.jpg\"; \"/p/c,d.png\""));
    settings.setValue("Main/Key", "/p/old.png");
    settings.setValue("Other/Number", 5);
  }
  QFile file(dir.filePath("qsettings.ini"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QTest::newRow("as QSettings writes it") << file.readAll() << true;
}

// Only a file in the plain form is edited line by line. Whatever form the
// file had, the value written is the value read, and the other values
// QSettings read from the file before are still there.
void tst_IniText::filesOfEveryForm() {
  QFETCH(QByteArray, content);
  QFETCH(bool, plain);
  QCOMPARE(IsPlainIni(content), plain);
  QTemporaryDir dir;
  IniSettingsStore store(dir.path());
  const QString path = store.FilePath("App");
  MakeFile(dir.path(), "App.ini", content);
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

QTEST_GUILESS_MAIN(tst_IniText)
#include "tst_initext.moc"
