#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/linux/LinuxSettingsStore.h"
#include "platform/linux/ListFile.h"
#include "platform/linux/XdgConfig.h"
#include "support/TestSupport.h"

namespace {

const QString kApp = QStringLiteral("App");

QByteArray Content(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

QStringList Folder(const QString& path) { return QDir(path).entryList(QDir::Files); }

// The names the store reads from the start, or from the first one equal to
// from.
QStringList ReadBack(LinuxSettingsStore& store, const QString& from = {}) {
  QStringList names;
  const auto take = [&names](QStringView name) {
    names << name.toString();
    return true;
  };
  if (from.isNull()) {
    store.ReadList(kApp, "Main", "List", take);
  } else {
    store.ReadListFrom(kApp, "Main", "List", from, take);
  }
  return names;
}

void Store(LinuxSettingsStore& store, const QStringList& names) {
  store.WriteList(kApp, "Main", "List", StringList(names));
}

QString ErrorText(const std::function<void()>& call) {
  try {
    call();
  } catch (const ProgramError& error) {
    return QString::number(error.Number()) + ' ' + error.Description();
  }
  return {};
}

}  // namespace

class tst_ListFile : public QObject {
  Q_OBJECT

 private slots:
  void namesComeBackExactly_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << "/p/a b.png" << QByteArray("/p/a b.png");
    QTest::newRow("quote and percent sign")
        << "/p/\"q\" 100%.png" << QByteArray("/p/\"q\" 100%.png");
    QTest::newRow("not ASCII") << QString::fromUtf8("/p/Zörvane €.png")
                               << QByteArray("/p/Z\xc3\xb6rvane \xe2\x82\xac.png");
    QTest::newRow("line break") << "/p/a\nb\r.png" << QByteArray("file:///p/a%0Ab%0D.png");
    QTest::newRow("blanks around") << " /p/a.png\t" << QByteArray("file:%20/p/a.png%09");
    QTest::newRow("half a surrogate pair, which UTF-8 cannot carry")
        << QStringLiteral("/p/") + QChar(0xDC80) + QStringLiteral(".png")
        << QByteArray("file:///p/%ED%B2%80.png");
    QTest::newRow("relative") << "pics/a.png" << QByteArray("file:pics/a.png");
  }

  // A name is written as its line (as it is when it can stand on a line, so
  // that grep and editors see it), between two entries of another name, and
  // comes back exactly: read whole, read from each entry on, and read line
  // by line in pieces of any size.
  void namesComeBackExactly() {
    QFETCH(QString, name);
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    LinuxSettingsStore store(dir.path());
    const QStringList names{"/p/x.png", name, "/p/x.png", name};
    Store(store, names);
    const QByteArray content = Content(store.ListPath(kApp));
    QCOMPARE(content, "/p/x.png\n" + line + "\n/p/x.png\n" + line + "\n");
    QCOMPARE(ReadBack(store), names);
    QCOMPARE(ReadBack(store, name), names.mid(1));
    QCOMPARE(ReadBack(store, "/p/y.png"), QStringList());
    for (qsizetype piece = 1; piece <= content.size(); ++piece) {
      QBuffer buffer;
      buffer.setData(content);
      QVERIFY(buffer.open(QIODevice::ReadOnly));
      QStringList read;
      QString decoded;
      QVERIFY(ForEachLine(buffer, piece, [&](QByteArrayView text) {
        if (ListName(text, decoded)) read << decoded;
        return true;
      }));
      QCOMPARE(read, names);
    }
  }

  // A list written by hand or by find: a byte-order mark, carriage returns,
  // blank lines, blanks around names, names relative to the home folder,
  // URIs, bytes that are no UTF-8. A line in another form than the store
  // writes is still found as the name it stands for; a line longer than any
  // name (a sparse file of gigabytes) is refused, not held.
  void readsWhatAUserWrites() {
    QTemporaryDir dir;
    LinuxSettingsStore store(dir.path());
    MakeFile(dir.path(), "App.list",
             "\xEF\xBB\xBF/p/a.png\r\n\n \t\r\n  pics/b.png \nfile:///p/c%20d.png\n/p/e\rf.png\n"
             "/p/\xff.png");
    const QString home = QDir::homePath();
    const QStringList names{"/p/a.png", home + "/pics/b.png", "/p/c d.png", "/p/e\rf.png",
                            QString::fromUtf8("/p/\xef\xbf\xbd.png")};
    QCOMPARE(ReadBack(store), names);
    for (qsizetype i = 0; i < names.size(); ++i) QCOMPARE(ReadBack(store, names[i]), names.mid(i));
    MakeFile(dir.path(), "App.list", QByteArray(3 << 20, 'x'));
    QVERIFY(ErrorText([&] { ReadBack(store); }).endsWith("it is no image list)"));
  }

  // A settings file of an earlier version holds the list; it was edited by
  // hand in the four ways that made the old store's writes fail. The list is
  // taken over into the list file, and only then removed from the settings
  // file; every other value stays readable. Until the settings file can be
  // changed, both files stay as they were.
  void oldListIsTakenOver() {
    QTemporaryDir dir;
    LinuxSettingsStore store(dir.path());
    const QByteArray old = QByteArrayLiteral(
        "\\k=v\n[Main]\n\\Key=a\nLast=/p/a, b.png\n"
        "List=\"\\\"/p/a; \\\"\\\"b\\\"\\\".png\\\"; /p/c.png; /p/c.png\"\n"
        "x=\0, y\n[%GEneral]\ng=1\n");
    const QString settings = MakeFile(dir.path(), "App.ini", old);
    const QString list = MakeFile(dir.path(), "App.list", "/p/before.png\n");
    QVERIFY(QFile::setPermissions(settings, QFile::ReadOwner));
    QCOMPARE(ErrorText([&] { ReadBack(store); }),
             "75 Path/File access error: the settings could not be stored in " + settings +
                 " (the file is read-only; allow writing to it to store settings)");
    QCOMPARE(Content(settings) + Content(list), old + "/p/before.png\n");
    QCOMPARE(Folder(dir.path()), QStringList({"App.ini", "App.list"}));
    QVERIFY(QFile::setPermissions(settings, QFile::ReadOwner | QFile::WriteOwner));
    const QStringList names{"/p/a; \"b\".png", "/p/c.png", "/p/c.png"};
    QCOMPARE(ReadBack(store, "/p/c.png"), names.mid(1));
    QCOMPARE(Content(list), "/p/a; \"b\".png\n/p/c.png\n/p/c.png\n");
    QCOMPARE(store.Read(kApp, "Main", "List"), "");
    QCOMPARE(store.Read(kApp, "Main", "Last"), "/p/a, b.png");
    const QByteArray now = Content(settings);
    for (const char* kept : {"k=v", "\\Key=a", "g=1", "x=@String(\\0), y"}) {
      QVERIFY2(now.contains(kept), now);
    }
    QCOMPARE(Folder(dir.path()), QStringList({"App.ini", "App.list"}));
    QCOMPARE(ReadBack(store), names);
    // A settings file of gigabytes (a sparse one) is refused, not read.
    QVERIFY(QFile::resize(settings, qint64{2} << 30));
    QVERIFY(ErrorText([&] { store.Read(kApp, "Main", "Last"); })
                .endsWith("(at 2147483648 bytes it is larger than a settings file can be; move "
                          "it away or delete it)"));
  }

  // With the disk full, writing the list or a value fails with the system's
  // reason; the old files stay whole and no scratch file is left.
  void fullDiskKeepsTheOldFiles() {
    QTemporaryDir dir;
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir.path()}) != 0) {
      QSKIP("mounting a small tmpfs needs root");
    }
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {dir.path()}); });
    LinuxSettingsStore store(dir.path());
    Store(store, {"/p/a.png"});
    store.Write(kApp, "Main", "Last", "/p/a.png");
    const QByteArray before = Content(store.ListPath(kApp)) + Content(store.SettingsPath(kApp));
    MakeFile(dir.path(), "filler", QByteArray(16 << 10, 'f'));
    const QStringList many(2000, "/p/a-rather-long-name-that-fills-the-disk.png");
    for (const auto& write : std::initializer_list<std::function<void()>>{
             [&] { Store(store, many); },
             [&] { store.Write(kApp, "Main", "Last", QString(60000, 'x')); }}) {
      QVERIFY(ErrorText(write).endsWith("(No space left on device)"));
      QCOMPARE(Content(store.ListPath(kApp)) + Content(store.SettingsPath(kApp)), before);
      QCOMPARE(Folder(dir.path()), QStringList({"App.ini", "App.list", "filler"}));
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

QTEST_GUILESS_MAIN(tst_ListFile)
#include "tst_listfile.moc"
