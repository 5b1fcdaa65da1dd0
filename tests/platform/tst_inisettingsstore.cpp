#include <QTemporaryDir>
#include <QtTest>

#include "platform/linux/IniSettingsStore.h"
#include "platform/linux/XdgConfig.h"
#include "support/TestSupport.h"

namespace {

constexpr char kApplication[] = "Zorvane Vistaro 0.2";

}  // namespace

class tst_IniSettingsStore : public QObject {
  Q_OBJECT

 private slots:
  void valuesComeBackExactlyFromTheFile();
  void replacedFileIsDatedAfterAFutureOne();
  void configFolderFollowsXdg();
};

void tst_IniSettingsStore::valuesComeBackExactlyFromTheFile() {
  QTemporaryDir dir;
  const QString folder = dir.filePath("not yet there");
  // What INI files treat specially: comment characters, quotes, commas,
  // blanks at either end, Qt's own type prefix, line breaks.
  const QStringList values{"",       " lead and trail ", "\"/a b.png\"; \"/c,d.png\"",
                           "# hash", "@ByteArray(x)",    "Zörvane\nline"};
  {
    IniSettingsStore store(folder);
    QCOMPARE(store.Read(kApplication, "Main", "Absent"), QString());
    for (int i = 0; i < values.size(); ++i) {
      store.Write(kApplication, "Main", "Key" + QString::number(i), values[i]);
    }
    QCOMPARE(store.FilePath(kApplication), folder + "/Zorvane Vistaro 0.2.ini");
  }
  QFile file(folder + "/Zorvane Vistaro 0.2.ini");
  QVERIFY(file.open(QIODevice::ReadOnly));
  QVERIFY(file.readAll().startsWith("[Main]\n"));
  IniSettingsStore fresh(folder);
  for (int i = 0; i < values.size(); ++i) {
    QCOMPARE(fresh.Read(kApplication, "Main", "Key" + QString::number(i)), values[i]);
  }
  QCOMPARE(fresh.Read(kApplication, "Other", "Key1"), QString());
  // An unquoted list in a hand-edited file reads back as it was written.
  MakeFile(folder, "Zorvane Vistaro 0.2.ini", "[Main]\nImageListLastSelected=/p/a, b.png\n");
  QCOMPARE(fresh.Read(kApplication, "Main", "ImageListLastSelected"), "/p/a, b.png");
  // Damaged lines that QSettings does not give back as it read them stop
  // no write.
  MakeFile(folder, "Zorvane Vistaro 0.2.ini",
           QByteArrayLiteral("\\k=v\n[Main]\nImageListLastSelected=/p/a, b.png\nx=\0, y\n"));
  fresh.Write(kApplication, "Main", "ImageListContent", "/p/c.png");
  QCOMPARE(fresh.Read(kApplication, "Main", "ImageListContent"), "/p/c.png");
  QCOMPARE(fresh.Read(kApplication, "Main", "ImageListLastSelected"), "/p/a, b.png");
}

// QSettings serves a file from its cache while the file's size and date
// stay as they were, so each file put in place must be dated at least a
// millisecond after the one it replaces, even one dated in the future.
void tst_IniSettingsStore::replacedFileIsDatedAfterAFutureOne() {
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

void tst_IniSettingsStore::configFolderFollowsXdg() {
  qputenv("HOME", "/home/someone");
  qputenv("XDG_CONFIG_HOME", "/x/config/");
  QCOMPARE(XdgConfigHome(), "/x/config");
  qputenv("XDG_CONFIG_HOME", "relative/config");
  QCOMPARE(XdgConfigHome(), "/home/someone/.config");
  qunsetenv("XDG_CONFIG_HOME");
  QCOMPARE(XdgConfigHome(), "/home/someone/.config");
}

QTEST_GUILESS_MAIN(tst_IniSettingsStore)
#include "tst_inisettingsstore.moc"
