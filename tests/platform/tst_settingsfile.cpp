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

// Main/Key read in pieces of one to three characters and joined; each must
// give what Value gives.
void CompareInPieces(const IniLayout& layout, const QByteArray& content) {
  for (const qsizetype piece : {1, 2, 3}) {
    QString joined;
    const bool read = layout.ValueInPieces(content, "Main", "Key", piece, [&](QStringView text) {
      joined += text;
      return true;
    });
    QCOMPARE(read ? std::optional<QString>(joined) : std::nullopt,
             layout.Value(content, "Main", "Key"));
  }
}

}  // namespace

class tst_SettingsFile : public QObject {
  Q_OBJECT

 private slots:
  // Special cases first, then random mixes of the characters that matter.
  void valuesReadBackThroughQSettings() {
    QStringList values{"", "  padded  ", "@Variant(x)", QString::fromUtf8("\r\x01\x7f😀")};
    const QString alphabet = QStringLiteral("\"; ,=@a1f\\\n\x1f\u00DC\u20AC[]") + QChar(u'\0');
    QRandomGenerator random(4711);
    while (values.size() < 500) {
      QString value;
      for (int i = random.bounded(12); i > 0; --i)
        value += alphabet.at(random.bounded(alphabet.size()));
      values.append(value);
    }
    QTemporaryDir dir;
    for (const QString& value : values) {
      const QByteArray content = SetIniValue({}, "Main", "Key", value);
      QCOMPARE(ReadBack(dir, content), value);
      QCOMPARE(IniLayout::Scan(content)->Value(content, "Main", "Key"), value);
      CompareInPieces(*IniLayout::Scan(content), content);
      // Escaped from pieces of one to three characters, the value is the same.
      for (const qsizetype size : {1, 2, 3}) {
        QByteArray escaped;
        AppendIniValue(escaped, [&](const auto& take) {
          for (qsizetype at = 0; at < value.size(); at += size)
            take(QStringView(value).mid(at, size));
        });
        QCOMPARE(escaped, EscapeIniValue(value));
      }
    }
  }

  void filesOfEveryForm_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("form");  // 0, -1: other form, 1: plain, 2: plain, Key left to QSettings
    QTest::addColumn<QByteArray>("written");  // the plain file after Key=v; empty: not checked
    const auto row = [](const QByteArray& content, int form, const char* written = "") {
      QTest::newRow(content.left(40)) << content << form << QByteArray(written);
    };
    // Values as this program writes them and as a user may type them.
    row("[Main]\nKey=  blanks  around  ", 1);
    row("[Main]\nKey = a ; a comment", 1);
    row("[Main]\nKey=\"a;b\" and \"c\" ", 1);
    row("[Main]\nKey=\\x41g\\101\\q\\x\\t ", 1);
    row("[Main]\nKey=\xc3\xbc\\\"\xe2\x82\xac", 1);
    row("[Main]\nKey=first\nOther=1\nKey=second", 1);
    row("[Main]\nKey=@@at", 1);
    row("[Main]\nKey=a, b", 2);
    row("[Main]\nKey=@Variant(x)", 2);
    row("[Main]\nKey=\xff", 2);
    // Other lines are kept as they were.
    row("", 1, "[Main]\nKey=v\n");
    row("; c\n[Main]\nA=1\nKey=old\nB=2\n", 1, "; c\n[Main]\nA=1\nKey=v\nB=2\n");
    row("[Main]\nA=1\n\n[Other]\nKey=x\n", 1, "[Main]\nA=1\n\nKey=v\n[Other]\nKey=x\n");
    row("[Other]\nA=1", 1, "[Other]\nA=1\n\n[Main]\nKey=v\n");
    row("[Main]\nA=\"x; y\"\n\n; note\n[Other]\nB=1\nC=\"s \\\"q\\\"\"\n", 1);
    row("[Main]\nKey = a\\\nmore\nC=3\nKey=b", 0, "[Main]\nKey=v\nC=3\n");
    row("[Main]\nKeyboard=1\n", 1, "[Main]\nKeyboard=1\nKey=v\n");
    // Files this program leaves to QSettings.
    row("[Main]\nImage%4cist=1\n", 0);
    row("[Main]\ngarbage\n", 0);
    row("[Main]\nA=1\n[Main]\nB=2\n", 0);
    row("A=\"q\n[Main]\nB=1\n", 0);
    // Lines that QSettings does not give back as it read them (-1: the other
    // values are not compared) stop no write and lose no list.
    row(QByteArrayLiteral(
            "\\k=v\n[Main]\n\\Key=a\nKey=b\nL=/p/a, b.png\nx=\0, y\n[%GEneral]\ng=1\n"),
        -1);
  }

  // The file's own reader answers what QSettings answers, and only a file
  // in the plain form is edited line by line. Whatever form the file had,
  // the value written is the value read, and the other values QSettings
  // read from the file before are still there.
  void filesOfEveryForm() {
    QFETCH(QByteArray, content);
    QFETCH(int, form);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    const std::optional<IniLayout> layout = IniLayout::Scan(content);
    QCOMPARE(IsPlainIni(content), form > 0);
    if (layout) {
      const std::optional<QString> value = layout->Value(content, "Main", "Key");
      QCOMPARE(value.has_value(), form == 1);
      if (value) QCOMPARE(*value, ReadBack(dir, content));
      CompareInPieces(*layout, content);
      QCOMPARE(ApplySplices(content, layout->Set(content, "Main", "Key", "v")),
               SetIniValue(content, "Main", "Key", "v"));
    }
    if (!written.isEmpty()) QCOMPARE(SetIniValue(content, "Main", "Key", "v"), written);
    IniSettingsStore store(dir.filePath("new"));
    store.Write("App", "Main", "Key", "v");
    const QString path = MakeFile(dir.filePath("new"), "App.ini", content);
    const auto others = [&] {
      QSettings settings(path, QSettings::IniFormat);
      QVariantMap values;
      for (const QString& key : settings.allKeys()) values.insert(key, settings.value(key));
      values.remove("Main/Key");
      return values;
    };
    const QVariantMap before = others();
    const QString value = QString::fromUtf8("\"/p/a b.png\"; \"/p/ü.jpg\"");
    store.Write("App", "Main", "Key", value);
    QCOMPARE(IniSettingsStore(dir.filePath("new")).Read("App", "Main", "Key"), value);
    if (form >= 0) QCOMPARE(others(), before);
    QCOMPARE(store.Read("App", "Main", "L"), before.value("Main/L").toStringList().join(", "));
  }

  // QSettings serves a file from its cache while the file's size and date
  // stay as they were, so each file put in place must be dated at least a
  // millisecond after the one it replaces, even one dated in the future.
  void replacedFileIsDatedAfterAFutureOne() {
    QTemporaryDir dir;
    IniSettingsStore store(dir.path());
    store.Write("App", "Main", "Key", "a");
    QFile file(store.FilePath("App"));
    QDateTime previous = QFileInfo(file).lastModified().addSecs(60);
    QVERIFY(file.open(QIODevice::ReadWrite) &&
            file.setFileTime(previous, QFileDevice::FileModificationTime));
    QCOMPARE(store.Read("App", "Main", "Key"), "a");
    for (const QString value : {"b", "c"}) {
      store.Write("App", "Main", "Key", value);
      const QDateTime written = QFileInfo(file).lastModified();
      QVERIFY(written >= previous.addMSecs(1));
      QCOMPARE(store.Read("App", "Main", "Key"), value);
      previous = written;
    }
  }

  void configFolderFollowsXdg() {
    qputenv("HOME", "/home/someone");
    qputenv("XDG_CONFIG_HOME", "/x/config/");
    QCOMPARE(XdgConfigHome(), "/x/config");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    QCOMPARE(XdgConfigHome(), "/home/someone/.config");
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(XdgConfigHome(), "/home/someone/.config");
  }
};

QTEST_GUILESS_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
