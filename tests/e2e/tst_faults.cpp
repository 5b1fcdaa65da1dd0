#include <QDir>
#include <QListView>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "kit/StringList.h"
#include "platform/linux/IniSettingsStore.h"
#include "startup/VersionText.h"
#include "support/TestSupport.h"
#include "window/WindowDriver.h"

namespace {

constexpr char kFullDiskError[] =
    "ZVistaro02: Error 75 - Path/File access error: the settings could not be stored in ";
constexpr char kInvalidParameter[] = "ZVistaro02: Error -2147213311 - Invalid Parameter\n";

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString ListText(const QStringList& names) {
  StringList list;
  list.SetSeparator(QStringLiteral("; "));
  for (const QString& name : names) list.Add(name);
  return list.Text();
}

// The folders of one user, three pictures, and the program run as a process
// on them with a wallpaper command that accepts every file.
class World {
 public:
  World() {
    QDir(dir_.path()).mkpath(QStringLiteral("config"));
    for (const char* name : {"a.png", "b.png", "c.png"}) {
      QImage image(4, 4, QImage::Format_RGB32);
      image.fill(Qt::green);
      image.save(dir_.filePath(QLatin1String(name)));
      pictures.append(dir_.filePath(QLatin1String(name)));
    }
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigFolder());
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env_.insert(QStringLiteral("ZVISTARO_WALLPAPER_COMMAND"), QStringLiteral("true"));
  }
  QString ConfigFolder() const { return dir_.filePath(QStringLiteral("config")); }
  QString SettingsFile() const {
    return IniSettingsStore(ConfigFolder()).FilePath(modMain::ApplicationTitle());
  }
  void Store(const QString& last) const {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Main/ImageListContent"), ListText(pictures));
    settings.setValue(QStringLiteral("Main/ImageListLastSelected"), last);
  }
  // The stored list and selection, or nothing when the file does not parse.
  std::optional<std::pair<QString, QString>> Stored() const {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) return std::nullopt;
    return std::pair(settings.value(QStringLiteral("Main/ImageListContent")).toString(),
                     settings.value(QStringLiteral("Main/ImageListLastSelected")).toString());
  }
  QProcess* Start(const QString& shellPrefix = QString()) {
    auto* process = new QProcess;
    process->setProcessEnvironment(env_);
    process->start(QStringLiteral("bash"),
                   {QStringLiteral("-c"), shellPrefix + QStringLiteral(" exec \"$0\" /rotate"),
                    QStringLiteral(ZV_PROGRAM)});
    return process;
  }
  // Runs one rotation to its end: exit status and standard error.
  std::pair<int, QByteArray> Rotate(const QString& shellPrefix = QString()) {
    std::unique_ptr<QProcess> process(Start(shellPrefix));
    if (!process->waitForFinished(60000)) qFatal("the rotation did not end");
    const int status = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    return {status, process->readAllStandardError()};
  }
  QStringList LeftOver() const {
    return QDir(ConfigFolder()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  QStringList pictures;

 private:
  QTemporaryDir dir_;
  QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
};

// The real settings store, with something that runs right after one given
// write: another process that changes the same file meanwhile.
class InterleavedStore : public SettingsStore {
 public:
  InterleavedStore(const QString& folder, QString key, std::function<void()> after)
      : store_(folder), key_(std::move(key)), after_(std::move(after)) {}
  QString Read(const QString& application, const QString& section, const QString& key) override {
    return store_.Read(application, section, key);
  }
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override {
    store_.Write(application, section, key, value);
    if (key == key_ && after_) std::exchange(after_, nullptr)();
  }

 private:
  IniSettingsStore store_;
  QString key_;
  std::function<void()> after_;
};

}  // namespace

class tst_Faults : public QObject {
  Q_OBJECT

 private slots:
  void fullDiskKeepsTheOldFileAndSaysSo();
  void damagedSettingsFile_data();
  void damagedSettingsFile();
  void twoRotationsAtOnceNeverCorruptTheFile();
  void closingWindowDuringRotationKeepsTheLastWriter_data();
  void closingWindowDuringRotationKeepsTheLastWriter();
};

void tst_Faults::fullDiskKeepsTheOldFileAndSaysSo() {
  World world;
  world.Store(world.pictures[0]);
  // Long enough that its new copy cannot fit under a one-block file size
  // limit; with SIGXFSZ ignored the write fails instead of killing us.
  QSettings(world.SettingsFile(), QSettings::IniFormat)
      .setValue(QStringLiteral("Main/Padding"), QString(3000, u'x'));
  const QByteArray before = ReadAll(world.SettingsFile());
  const auto [status, err] = world.Rotate(QStringLiteral("trap '' XFSZ; ulimit -f 1;"));
  QCOMPARE(status, 1);
  QVERIFY2(err.startsWith(kFullDiskError), err.constData());
  QCOMPARE(ReadAll(world.SettingsFile()), before);
  QCOMPARE(world.LeftOver(), QStringList{QFileInfo(world.SettingsFile()).fileName()});
  // With room again the same rotation succeeds.
  QCOMPARE(world.Rotate().first, 0);
  QCOMPARE(world.Stored()->second, world.pictures[1]);
}

void tst_Faults::damagedSettingsFile_data() {
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<int>("expectedStatus");
  QTest::addColumn<int>("expectedLast");  // index into the pictures, -1 for none
  QTest::newRow("cut inside the list")
      << QByteArray("[Main]\nImageListLastSelected=@A\nImageListContent=\"@A; @B; \\\"@C") << 0
      << 1;
  static constexpr char kGarbageFirst[] =
      "\x00\xff\xfe[[=\n=\\x\n@ByteArray(\n[Main]\nImageListLastSelected=@B\n"
      "ImageListContent=\"@A; @B; @C\"\n";
  static constexpr char kGarbageOnly[] = "\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR";
  QTest::newRow("garbage before the section")
      << QByteArray(kGarbageFirst, sizeof kGarbageFirst - 1) << 0 << 2;
  QTest::newRow("garbage only") << QByteArray(kGarbageOnly, sizeof kGarbageOnly - 1) << 1 << -1;
  QTest::newRow("empty") << QByteArray() << 1 << -1;
  // Marks the case of a folder in place of the file.
  QTest::newRow("a folder in its place") << QByteArray("/") << 1 << -1;
}

// A damaged file never crashes the rotation: what still reads is used, and
// the file written afterwards is whole; nothing usable is Invalid Parameter.
void tst_Faults::damagedSettingsFile() {
  QFETCH(QByteArray, content);
  QFETCH(int, expectedStatus);
  QFETCH(int, expectedLast);
  World world;
  content.replace("@A", world.pictures[0].toUtf8())
      .replace("@B", world.pictures[1].toUtf8())
      .replace("@C", world.pictures[2].toUtf8());
  const bool folder = content == "/";
  if (folder) {
    QVERIFY(QDir().mkdir(world.SettingsFile()));
  } else {
    MakeFile(world.ConfigFolder(), QFileInfo(world.SettingsFile()).fileName(), content);
  }
  const auto [status, err] = world.Rotate();
  QCOMPARE(status, expectedStatus);
  if (expectedLast == -1) {
    QVERIFY2(err.startsWith(kInvalidParameter), err.constData());
    QCOMPARE(QFileInfo(world.SettingsFile()).isDir(), folder);
    if (!folder) QCOMPARE(ReadAll(world.SettingsFile()), content);
  } else {
    QVERIFY2(err.isEmpty(), err.constData());
    QVERIFY(world.Stored().has_value());
    QCOMPARE(world.Stored()->second, world.pictures[expectedLast]);
  }
}

void tst_Faults::twoRotationsAtOnceNeverCorruptTheFile() {
  World world;
  world.Store(world.pictures[0]);
  const QString list = world.Stored()->first;
  for (int round = 0; round < 100; ++round) {
    std::unique_ptr<QProcess> first(world.Start()), second(world.Start());
    for (QProcess* process : {first.get(), second.get()}) {
      QVERIFY(process->waitForFinished(60000));
      QVERIFY2(process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0,
               process->readAllStandardError().constData());
    }
    const auto stored = world.Stored();
    QVERIFY2(stored.has_value(), qPrintable(QStringLiteral("round %1").arg(round)));
    QCOMPARE(stored->first, list);
    QVERIFY2(world.pictures.contains(stored->second), qPrintable(stored->second));
  }
  QCOMPARE(world.LeftOver(), QStringList{QFileInfo(world.SettingsFile()).fileName()});
}

void tst_Faults::closingWindowDuringRotationKeepsTheLastWriter_data() {
  QTest::addColumn<QString>("rotateAfter");  // the window's write it follows
  QTest::addColumn<int>("expectedLast");
  // The window selects c; the rotation goes on from what it finds stored.
  QTest::newRow("rotation before the window writes") << QString() << 2;
  QTest::newRow("rotation between the selection and the list")
      << QStringLiteral("ImageListLastSelected") << 0;
  QTest::newRow("rotation after the list") << QStringLiteral("ImageListContent") << 0;
}

// The window keeps its own cached copy of the settings from its loading. A
// rotation that writes while the window closes must not be undone by the
// window's later write of the list, and the list must stay whole.
void tst_Faults::closingWindowDuringRotationKeepsTheLastWriter() {
  QFETCH(QString, rotateAfter);
  QFETCH(int, expectedLast);
  World world;
  world.Store(world.pictures[0]);
  FakePlatform platform;
  bool rotated = false;
  auto rotate = [&world, &rotated] { rotated = world.Rotate().first == 0; };
  CurrentPlatform().settings =
      std::make_unique<InterleavedStore>(world.ConfigFolder(), rotateAfter, rotate);
  WindowDriver driver;
  QVERIFY(driver.Start());
  auto* list = driver.Control<QListView>("lstImageList");
  list->setCurrentIndex(list->model()->index(2, 0));
  if (rotateAfter.isEmpty()) rotate();
  QVERIFY(driver.Close());
  QVERIFY(rotated);
  const auto stored = world.Stored();
  QVERIFY(stored.has_value());
  QCOMPARE(stored->first, ListText(world.pictures));
  QCOMPARE(stored->second, world.pictures[expectedLast]);
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
