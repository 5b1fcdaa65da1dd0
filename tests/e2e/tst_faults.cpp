#include <QDir>
#include <QListView>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

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

constexpr char kNotStored[] =
    "ZVistaro02: Error 75 - Path/File access error: the settings could not be stored in ";
constexpr char kNotRead[] =
    "ZVistaro02: Error 75 - Path/File access error: the settings could not be read from ";
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
  ~World() {
    if (mounted_) QProcess::execute(QStringLiteral("umount"), {ConfigFolder()});
  }
  // Puts the configuration folder on a file system of its own with this
  // many bytes (false when this user cannot mount one).
  bool MountSmallDisk(qint64 bytes) {
    mounted_ = QProcess::execute(QStringLiteral("mount"),
                                 {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                  QStringLiteral("-o"), QStringLiteral("size=%1").arg(bytes),
                                  QStringLiteral("tmpfs"), ConfigFolder()}) == 0;
    return mounted_;
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
  QProcess* Start(const QString& shellPrefix = QString(),
                  const QString& option = QStringLiteral("/rotate")) {
    auto* process = new QProcess;
    process->setProcessEnvironment(env_);
    process->start(QStringLiteral("bash"),
                   {QStringLiteral("-c"), shellPrefix + QStringLiteral(" exec \"$0\" \"$1\""),
                    QStringLiteral(ZV_PROGRAM), option});
    return process;
  }
  // Runs the program to its end: exit status (-2 when it hung) and standard
  // error.
  std::pair<int, QByteArray> Rotate(const QString& shellPrefix = QString(),
                                    const QString& option = QStringLiteral("/rotate")) {
    std::unique_ptr<QProcess> process(Start(shellPrefix, option));
    if (!process->waitForFinished(30000)) {
      process->kill();
      process->waitForFinished();
      return {-2, process->readAllStandardError()};
    }
    const int status = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
    return {status, process->readAllStandardError()};
  }
  QStringList LeftOver(const QString& folder = QString()) const {
    return QDir(folder.isEmpty() ? ConfigFolder() : folder)
        .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  }

  QStringList pictures;

 private:
  QTemporaryDir dir_;
  bool mounted_ = false;
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
  void settingsFileFaults_data();
  void settingsFileFaults();
  void twoRotationsAtOnceNeverCorruptTheFile();
  void closingWindowDuringRotationKeepsTheLastWriter_data();
  void closingWindowDuringRotationKeepsTheLastWriter();
};

// What stands in the settings file's place.
enum class Place { File, Folder, Fifo, ReadOnlyFile, LinkChain, SmallDisk };

void tst_Faults::settingsFileFaults_data() {
  QTest::addColumn<int>("place");
  QTest::addColumn<QByteArray>("content");
  QTest::addColumn<QByteArray>("report");  // standard error, @F the settings file; empty: success
  QTest::addColumn<int>("expectedLast");   // after a success, an index into the pictures
  QTest::addColumn<QString>("command");    // the program's argument, after any shell commands
  const QByteArray plain("[Main]\nImageListLastSelected=@A\nImageListContent=\"@A; @B; @C\"\n");
  const QByteArray crLf = QByteArray(plain).replace("\n", "\r\n");
  const QByteArray notAFile = kNotRead + QByteArray("@F (it is not a regular file");
  const QByteArray diskFull = kNotStored + QByteArray("@F (No space left on device)");
  auto row = [](const char* name, Place place, const QByteArray& content, const QByteArray& report,
                int last = -1, const char* command = "/rotate") {
    QTest::newRow(name) << static_cast<int>(place) << content << report << last
                        << QString::fromLatin1(command);
  };
  row("cut inside the list", Place::File,
      "[Main]\nImageListLastSelected=@A\nImageListContent=\"@A; @B; \\\"@C", {}, 1);
  static constexpr char kGarbageFirst[] =
      "\x00\xff\xfe[[=\n=\\x\n@ByteArray(\n[Main]\nImageListLastSelected=@B\n"
      "ImageListContent=\"@A; @B; @C\"\n";
  static constexpr char kGarbageOnly[] = "\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR";
  row("garbage before the section", Place::File,
      QByteArray(kGarbageFirst, sizeof kGarbageFirst - 1), {}, 2);
  row("garbage only", Place::File, QByteArray(kGarbageOnly, sizeof kGarbageOnly - 1),
      kInvalidParameter);
  row("empty", Place::File, QByteArray(), kInvalidParameter);
  row("hand-edited, through a chain of links", Place::LinkChain, crLf, {}, 1);
  row("read-only, even for root", Place::ReadOnlyFile, plain,
      kNotStored + QByteArray("@F (the file is read-only"));
  // Refused before the desktop is asked, which here refuses too.
  row("read-only, before the wallpaper", Place::ReadOnlyFile, plain,
      kNotStored + QByteArray("@F (the file is read-only"), -1,
      "export ZVISTARO_WALLPAPER_COMMAND=false; /rotate");
  row("a folder in its place", Place::Folder, QByteArray(), notAFile);
  row("a FIFO in its place", Place::Fifo, QByteArray(), notAFile);
  // /remove never reads the settings: it ends at once with its own report.
  row("a FIFO in its place, /remove", Place::Fifo, QByteArray(),
      "ZVistaro02: Error -2147024894 - Unable to remove registry key", -1, "/remove");
  // The disk has room for half a copy of the file, or for one copy but not
  // for the file QSettings writes beside it.
  row("full disk, plain file", Place::SmallDisk, plain + "Padding=" + QByteArray(60000, 'x'),
      diskFull);
  row("full disk, hand-edited file", Place::SmallDisk,
      crLf + "Padding=" + QByteArray(60000, 'x') + "\r\n", diskFull);
  // With SIGXFSZ ignored the write fails instead of killing the program.
  row("file size limit", Place::File, plain + "Padding=" + QByteArray(3000, 'x'),
      kNotStored + QByteArray("@F (File too large)"), -1, "trap '' XFSZ; ulimit -f 1; /rotate");
}

// A settings file that is damaged, or that cannot or must not be replaced,
// never crashes or hangs the program nor loses anything: what still reads is
// used and the file written afterwards is whole, or the program stops with a
// numbered error naming the file and why, leaving the file as it was.
void tst_Faults::settingsFileFaults() {
  QFETCH(int, place);
  QFETCH(QByteArray, content);
  QFETCH(QByteArray, report);
  QFETCH(int, expectedLast);
  QFETCH(QString, command);
  World world;
  content.replace("@A", world.pictures[0].toUtf8())
      .replace("@B", world.pictures[1].toUtf8())
      .replace("@C", world.pictures[2].toUtf8());
  const QString file = world.SettingsFile();
  QString target = file;
  const auto where = static_cast<Place>(place);
  if (where == Place::Folder) QVERIFY(QDir().mkdir(file));
  if (where == Place::Fifo) QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0644), 0);
  if (where == Place::LinkChain) {
    QVERIFY(QDir(world.ConfigFolder()).mkdir(QStringLiteral("real")));
    target = world.ConfigFolder() + QStringLiteral("/real/s.ini");
    QVERIFY(QFile::link(QStringLiteral("real/s.ini"), world.ConfigFolder() + "/l2"));
    QVERIFY(QFile::link(QStringLiteral("l2"), file));
  }
  if (where == Place::SmallDisk) {
    // The size in whole pages, with room left for half a copy (a plain
    // file) or one and a half (a hand-edited one).
    const qint64 pages = content.size() / 4096 + 1;
    const qint64 left = content.contains('\r') ? pages * 3 / 2 : pages / 2;
    if (!world.MountSmallDisk((pages + left) * 4096)) QSKIP("a tmpfs cannot be mounted here");
  }
  // The file keeps the permissions the user gave it.
  if (where != Place::Folder && where != Place::Fifo) {
    MakeFile(QFileInfo(target).path(), QFileInfo(target).fileName(), content);
    QVERIFY(QFile::setPermissions(
        target, QFile::ReadOwner | QFile::ReadGroup |
                    (where == Place::ReadOnlyFile ? QFile::ReadOther : QFile::WriteOwner)));
  }
  const QFile::Permissions permissions = QFile::permissions(target);
  const QString targetFolder = QFileInfo(target).path();
  const QStringList entries = world.LeftOver() + world.LeftOver(targetFolder);
  const qsizetype option = command.lastIndexOf(u' ') + 1;
  const auto [status, err] = world.Rotate(command.left(option), command.mid(option));
  QCOMPARE(status, report.isEmpty() ? 0 : 1);
  QVERIFY2(report.isEmpty() ? err.isEmpty() : err.startsWith(report.replace("@F", file.toUtf8())),
           err.constData());
  QCOMPARE(world.LeftOver() + world.LeftOver(targetFolder), entries);
  QCOMPARE(QFile::permissions(target), permissions);
  QCOMPARE(QFileInfo(file).isSymLink(), target != file);
  QCOMPARE(QFileInfo(world.ConfigFolder() + "/l2").isSymLink(), target != file);
  if (!report.isEmpty()) {
    QCOMPARE(QFileInfo(file).isDir(), where == Place::Folder);
    QCOMPARE(QFileInfo(file).isFile(), where != Place::Folder && where != Place::Fifo);
    QCOMPARE(QFileInfo(file).isFile() ? ReadAll(file) : QByteArray(), content);
  } else {
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
