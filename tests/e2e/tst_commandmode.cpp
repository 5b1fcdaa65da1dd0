#include <QDirIterator>
#include <QListView>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <utility>

#include "kit/StringList.h"
#include "platform/linux/IniSettingsStore.h"
#include "support/TestSupport.h"
#include "window/WindowDriver.h"

namespace {

constexpr char kHelp[] =
    "Command-line options:\r\n/rotate\tchange desktop-wallpaper to\r\n\tthe next file of the "
    "image list,\r\n\tafter the last one it set\r\n/auto\tauto-change desktop-wallpaper\r\n"
    "\teach time the current\r\n\tuser logs on\r\n/remove\tstop auto-changing\r\n"
    "\tdesktop-wallpaper\n";
constexpr char kEntry[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Zorvane Vistaro 0.2 "
    "Wallpaper Rotation\\";
constexpr char kInvalid[] = "ZVistaro02: Error -2147213311 - Invalid Parameter\nZVistaro02: ";
constexpr char kRefused[] =
    "ZVistaro02: Error -2147213312 - Unexpected internal error\nZVistaro02: ";
constexpr char kNotStored[] =
    "ZVistaro02: Error 75 - Path/File access error: the settings could "
    "not be stored in ~F (";
constexpr char kNotRead[] =
    "ZVistaro02: Error 75 - Path/File access error: the settings could "
    "not be read from ~F (it is not a regular file";
constexpr char kEntryFile[] = "autostart/Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop";

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The settings file as QSettings writes the list and the last wallpaper.
QByteArray Ini(const QStringList& names, const QString& last) {
  QTemporaryDir dir;
  {
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    StringList list;
    list.SetSeparator("; ");
    for (const QString& name : names) list.Add(name);
    settings.setValue("Main/ImageListContent", list.Text());
    settings.setValue("Main/ImageListLastSelected", last);
  }
  return ReadAll(dir.filePath("s.ini"));
}
const QByteArray kAbc = Ini({"~A", "~B", "~C"}, "~A");

struct Run {
  int status;
  QByteArray out, err;
};

Run Finish(QProcess& process) {
  if (!process.waitForFinished(30000)) process.kill();
  process.waitForFinished();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput(), process.readAllStandardError()};
}

// One user's world: HOME and XDG folders, pictures, a file that is no
// picture, and a wallpaper command that logs every file it is handed and
// refuses names holding "refused". ~A ~B ~C ~R ~X ~F ~D in texts stand for
// its files, the settings file and its folder.
struct Session {
  Session() {
    QDir(dir.path()).mkpath("config");
    QDir(dir.path()).mkpath("home");
    for (const char* name : {"a.png", "b.png", "c.png", "refused.png", "a b.png", "q\"t.png",
                             "s; t.png", "Zörvane €.png"}) {
      QImage image(4, 4, QImage::Format_RGB32);
      image.fill(Qt::green);
      image.save(Path(name), "PNG");
    }
    MakeFile(dir.path(), "x.webp", "RIFF\x10WEBPVP8 broken");
    const QString script = MakeFile(dir.path(), "set-wallpaper",
                                    "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$ZV_TEST_LOG\"\n"
                                    "case \"$1\" in *refused*) exit 1;; esac\n");
    QFile::setPermissions(script, QFileDevice::Permissions(0x7555));
    for (const auto& [name, value] : {std::pair{"HOME", Path("home")},
                                      {"XDG_CONFIG_HOME", Path("config")},
                                      {"QT_QPA_PLATFORM", QString("offscreen")},
                                      {"ZVISTARO_WALLPAPER_COMMAND", script},
                                      {"ZV_TEST_LOG", Path("wallpaper.log")},
                                      {"F", SettingsFile()},
                                      {"D", dir.path()}}) {
      env.insert(name, value);
    }
  }
  ~Session() { Shell("cd .. && if mountpoint -q config; then umount config; fi"); }
  QString Path(const QString& name) const { return dir.filePath(name); }
  QString SettingsFile() const { return Path("config/Zorvane Vistaro 0.2.ini"); }
  QByteArray Expand(QByteArray text) const {
    for (const auto& [key, name] : {std::pair{"~A", "a.png"},
                                    {"~B", "b.png"},
                                    {"~C", "c.png"},
                                    {"~R", "refused.png"},
                                    {"~X", "x.webp"}}) {
      text.replace(key, Path(name).toUtf8());
    }
    return text.replace("~F", SettingsFile().toUtf8()).replace("~D", dir.path().toUtf8());
  }
  QString Value(const QString& key) const {  // none from a FIFO, which would block
    if (!QFileInfo(SettingsFile()).isFile()) return {};
    return QSettings(SettingsFile(), QSettings::IniFormat).value(key).toString();
  }
  // Runs the program through bash, after the given shell words ("exec" when
  // none), so that a run can change its limits, environment or user.
  std::unique_ptr<QProcess> Launch(const QStringList& arguments, QString prefix = {}) const {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->start(
        "bash",
        QStringList{"-c", (prefix.isEmpty() ? "exec" : prefix) + " \"$0\" \"$@\"", program} +
            arguments);
    return process;
  }
  Run Start(const QStringList& arguments, const QString& prefix = {}) const {
    return Finish(*Launch(arguments, prefix));
  }
  int Shell(const QString& script) const {
    QProcess shell;
    shell.setProcessEnvironment(env);
    shell.setWorkingDirectory(Path("config"));
    shell.start("bash", {"-c", script});
    return Finish(shell).status;
  }
  // Every entry of the configuration folder but the logon entry: its kind,
  // permissions, link target and, where asked for, content.
  QStringList State(bool contents) const {
    QStringList state;
    QDirIterator it(Path("config"), QDir::AllEntries | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QFileInfo info = it.nextFileInfo();
      if (info.fileName().startsWith('.') || info.filePath().contains("autostart")) continue;
      state << QString("%1 %2%3%4 %5 %6")
                       .arg(info.filePath())
                       .arg(info.isDir())
                       .arg(info.isFile())
                       .arg(info.permissions(), 0, 16)
                       .arg(info.symLinkTarget()) +
                   (contents && info.isFile() ? ReadAll(info.filePath()) : QByteArray());
    }
    return state;
  }

  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  QString program = QStringLiteral(ZV_PROGRAM);
};

}  // namespace

class tst_CommandMode : public QObject {
  Q_OBJECT

 private slots:
  void commandRun_data();
  void commandRun();
  void logonEntryFromAQuotedFolderRunsAtLogon();
  void twoRotationsAtOnceKeepTheFileWhole();
  void closingWindowDuringRotationKeepsTheLastWriter_data();
  void closingWindowDuringRotationKeepsTheLastWriter();
};

void tst_CommandMode::commandRun_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QByteArray>("settings");  // the settings file; none when empty
  QTest::addColumn<QString>("setup");        // shell commands in the config folder; 77 skips
  QTest::addColumn<QString>("prefix");       // shell words before the program
  QTest::addColumn<int>("runs");
  QTest::addColumn<int>("status");
  QTest::addColumn<QByteArray>("out");
  QTest::addColumn<QByteArray>("err");  // how standard error starts, * for any text
  QTest::addColumn<QByteArray>("log");  // every file the wallpaper command was handed
  const QStringList rotate{"/rotate"};
  const QByteArray plain("[Main]\nImageListLastSelected=~A\nImageListContent=\"~A; ~B; ~C\"\n");
  const QByteArray crLf = QByteArray(plain).replace("\n", "\r\n");
  const QByteArray padding = "Padding=" + QByteArray(60000, 'x');
  const QString smallDisk =
      "mv \"$F\" ../s && { mount -t tmpfs -o size=%1 tmpfs . || exit 77; } "
      "&& mv ../s \"$F\"";
  auto row = [](const char* name, const QStringList& arguments, const QByteArray& settings,
                const QString& setup, const QString& prefix, int runs, int status,
                const QByteArray& out, const QByteArray& err, const QByteArray& log) {
    QTest::newRow(name) << arguments << settings << setup << prefix << runs << status << out << err
                        << log;
  };
  // Rotation: the next entry after the stored one, wrapping; missing names
  // skipped, duplicates kept (the walk after B finds the first A again).
  row("any case, later arguments ignored", {"/ROTATE", "x"}, kAbc, {}, {}, 3, 0, {}, {},
      "~B\n~C\n~A\n");
  row("missing skipped, duplicates kept", rotate,
      Ini({"~A", "~D/missing.png", "~B", "~A", "~C"}, "~A"), {}, {}, 4, 0, {}, {},
      "~B\n~A\n~B\n~A\n");
  row("blanks, quotes, separators and wide names", rotate,
      Ini({"~D/a b.png", "~D/q\"t.png", "~D/s; t.png", "~D/Zörvane €.png"}, "~D/Zörvane €.png"), {},
      {}, 4, 0, {}, {}, "~D/a b.png\n~D/q\"t.png\n~D/s; t.png\n~D/Zörvane €.png\n");
  row("a name lost to the encoding is reported", rotate,
      "[Main]\nImageListLastSelected=~A\nImageListContent=\"~A; ~D/\xff.png; ~B\"\n", {}, {}, 1, 0,
      {}, "ZVistaro02: skipped ~D/\xef\xbf\xbd.png: there is no such file; each", "~B\n");
  // The logon entry names the program by its path, or by its bare name when
  // the PATH finds this very program.
  row("/auto by path", {"/Auto"}, kAbc, {}, {}, 1, 0, kEntry + QByteArray(ZV_PROGRAM " /rotate\n"),
      {}, "~B\n");
  row("/auto by bare name", {"/auto"}, kAbc, {}, "PATH=$(dirname \"$0\"):$PATH exec", 1, 0,
      kEntry + QByteArray("ZVistaro02 /rotate\n"), {}, "~B\n");
  row("/remove deletes the entry", {"/ReMove"}, kAbc,
      "mkdir autostart && touch autostart/Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop", {}, 1, 0,
      {}, {}, {});
  // Every report names its cause; nothing changes.
  row("last not in the list", rotate, Ini({"~A"}, "~B"), {}, {}, 1, 1, {},
      kInvalid + QByteArray("the last wallpaper \"~B\" is not in the image list; open the window, "
                            "select the entry to start after and close it\n"),
      {});
  row("no last stored, /auto", {"/auto"}, Ini({"~A"}, ""), {}, {}, 1, 1, {},
      kInvalid + QByteArray("the image list does not say where the rotation stands (no last"), {});
  row("next is no picture", rotate, Ini({"~A", "~X"}, "~A"), {}, {}, 1, 1, {},
      kRefused + QByteArray("\"~X\" is not a picture this installation can read ("), {});
  row("refused every time, /auto", {"/auto"}, Ini({"~A", "~R"}, "~A"), {}, {}, 2, 1, {},
      kRefused + QByteArray("the wallpaper command \"~D/set-wallpaper\" did not accept \"~R\""),
      "~R\n~R\n");
  row("no desktop at all", rotate, kAbc, {},
      "unset ZVISTARO_WALLPAPER_COMMAND DISPLAY WAYLAND_DISPLAY; XDG_CURRENT_DESKTOP= exec", 1, 1,
      {},
      kRefused + QByteArray("no desktop to set the wallpaper on (XDG_CURRENT_DESKTOP is \"\", "
                            "DISPLAY is unset); set ZVISTARO_WALLPAPER_COMMAND"),
      {});
  // /remove never reads the settings, even a FIFO that would block.
  row("no entry to remove", {"/remove"}, kAbc, "rm \"$F\" && mkfifo \"$F\"", {}, 1, 1, {},
      "ZVistaro02: Error -2147024894 - Unable to remove registry key*\nZVistaro02: there is no "
      "logon entry \"~D/config/autostart/Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop\" to "
      "remove; /auto writes one\n",
      {});
  // Help for every other first argument; window mode needs a display.
  for (const QStringList& arguments : QList<QStringList>{
           {"rotate"}, {"/rotate."}, {"/?"}, {""}, {"/x", "/rotate"}, {"-platform", "xcb"}}) {
    row(qPrintable("help: " + arguments.join(' ')), arguments, {}, {}, {}, 1, 0, kHelp, {}, {});
  }
  row("no display", {}, kAbc, {}, {}, 1, 1, {}, "ZVistaro02: no display to open the window on\n",
      {});
  row("a display that is not there", {}, kAbc, {},
      "unset QT_QPA_PLATFORM WAYLAND_DISPLAY; DISPLAY=:47 exec", 1, 1, {},
      "ZVistaro02: no display to open the window on\n", {});
  // A damaged settings file: what still reads is used.
  row("cut inside the list", rotate,
      "[Main]\nImageListLastSelected=~A\nImageListContent=\"~A; ~B; \\\"~C", {}, {}, 1, 0, {}, {},
      "~B\n");
  static constexpr char kGarbageFirst[] =
      "\x00\xff\xfe[[=\n=\\x\n@ByteArray(\n[Main]\nImageListLastSelected=~B\n"
      "ImageListContent=\"~A; ~B; ~C\"\n";
  row("garbage before the section", rotate, QByteArray(kGarbageFirst, sizeof kGarbageFirst - 1), {},
      {}, 1, 0, {}, {}, "~C\n");
  row("garbage only", rotate, QByteArray("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", 16), {}, {}, 1, 1,
      {}, kInvalid, {});
  row("empty", rotate, "", "touch \"$F\"", {}, 1, 1, {}, kInvalid, {});
  row("hand-edited, through a chain of links", rotate, crLf,
      "mkdir real && mv \"$F\" real/s.ini && ln -s real/s.ini l2 && ln -s l2 \"$F\"", {}, 1, 0, {},
      {}, "~B\n");
  // A file that cannot or must not be replaced stays as it was, refused
  // before the desktop is asked.
  row("read-only, even for root", rotate, plain, "chmod 444 \"$F\"", {}, 1, 1, {},
      kNotStored + QByteArray("the file is read-only"), {});
  row("a folder in its place", rotate, kAbc, "rm \"$F\" && mkdir \"$F\"", {}, 1, 1, {}, kNotRead,
      {});
  row("a FIFO in its place", rotate, kAbc, "rm \"$F\" && mkfifo \"$F\"", {}, 1, 1, {}, kNotRead,
      {});
  // The disk has room for half a copy of the file, or for one copy but not
  // for the file QSettings writes beside it: the write fails only after the
  // desktop took the wallpaper.
  row("full disk, plain file", rotate, plain + padding, smallDisk.arg(22 * 4096), {}, 1, 1, {},
      kNotStored + QByteArray("No space left on device)"), "~B\n");
  row("full disk, hand-edited file", rotate, crLf + padding + "\r\n", smallDisk.arg(37 * 4096), {},
      1, 1, {}, kNotStored + QByteArray("No space left on device)"), "~B\n");
  row("file size limit", rotate, plain + padding, {}, "trap '' XFSZ; ulimit -f 1; exec", 1, 1, {},
      kNotStored + QByteArray("File too large)"), "~B\n");
  // Only an atomic replacement, which needs the folder, keeps a half-written
  // file from ever being seen.
  row("folder not writable", rotate, kAbc,
      "[ $(id -u) = 0 ] || exit 77; chmod 755 \"$D\"; chmod 666 \"$F\"",
      "export HOME=/nonexistent ZV_TEST_LOG=/dev/null; exec setpriv --reuid=65534 --regid=65534 "
      "--clear-groups --",
      1, 1, {}, kNotStored + QByteArray("Permission denied"), {});
}

// Runs the program on the settings file and checks its exit status, output,
// wallpapers, and the files it leaves: after a success the stored last
// wallpaper is the one set last and the list is as it was, after a
// failure every file is as it was; the permissions, links and the folder's
// other files never change.
void tst_CommandMode::commandRun() {
  QFETCH(QStringList, arguments);
  QFETCH(QByteArray, settings);
  QFETCH(QString, setup);
  QFETCH(QString, prefix);
  QFETCH(int, runs);
  QFETCH(int, status);
  QFETCH(QByteArray, out);
  QFETCH(QByteArray, err);
  QFETCH(QByteArray, log);
  Session session;
  if (!settings.isEmpty()) {
    MakeFile(session.Path("config"), QFileInfo(session.SettingsFile()).fileName(),
             session.Expand(settings));
    QFile::setPermissions(session.SettingsFile(), QFile::ReadOwner | QFile::WriteOwner);
  }
  const int prepared = session.Shell(setup);
  if (prepared == 77) QSKIP("this user cannot prepare the case");
  QCOMPARE(prepared, 0);
  const QStringList before = session.State(true), shape = session.State(false);
  const QString list = session.Value("Main/ImageListContent");
  for (int i = 0; i < runs; ++i) {
    const Run run = session.Start(arguments, prefix);
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, session.Expand(out));
    const QList<QByteArray> parts = session.Expand(err).split('*');
    qsizetype at = run.err.startsWith(parts[0]) ? parts[0].size() : -1;
    for (const QByteArray& part : parts.mid(1)) at = at < 0 ? -1 : run.err.indexOf(part, at);
    QVERIFY2(at >= 0 && (!err.isEmpty() || run.err.isEmpty()), run.err.constData());
  }
  QCOMPARE(session.Expand(log), ReadAll(session.Path("wallpaper.log")));
  QCOMPARE(QFile::exists(session.Path("config/") + kEntryFile), !out.isEmpty() && out != kHelp);
  if (status == 0 && !log.isEmpty()) {
    QCOMPARE(session.State(false), shape);
    const QByteArray last = session.Expand(log).split('\n').value(runs - 1);
    QCOMPARE(session.Value("Main/ImageListLastSelected").toUtf8(), last);
    QCOMPARE(session.Value("Main/ImageListContent"), list);
  } else {
    QCOMPARE(session.State(true), before);
  }
}

// The entry quotes a path with blanks and quotes so that a session's
// launcher runs the program from there.
void tst_CommandMode::logonEntryFromAQuotedFolderRunsAtLogon() {
  Session session;
  MakeFile(session.Path("config"), "Zorvane Vistaro 0.2.ini", session.Expand(kAbc));
  const QString folder = session.Path("it's a \"test\"");
  QVERIFY(QDir().mkpath(folder));
  const QFileInfo built(session.program);
  for (const QString& name : QDir(built.path()).entryList({"ZVistaro02", "libZKit10.so*"})) {
    QVERIFY(QFile::copy(built.dir().filePath(name), folder + '/' + name));
  }
  session.program = folder + "/ZVistaro02";
  const Run run = session.Start({"/auto"});
  QCOMPARE(
      run.out,
      kEntry + ('"' + QString(session.program).replace('"', "\"\"") + "\" /rotate\n").toUtf8());
  QCOMPARE(QProcess::execute("desktop-file-validate", {session.Path("config/") + kEntryFile}), 0);
  QCOMPARE(session.Shell("gio launch \"$PWD/" + QString(kEntryFile) + '"'), 0);
  QTRY_COMPARE(ReadAll(session.Path("wallpaper.log")), session.Expand("~B\n~C\n"));
}

void tst_CommandMode::twoRotationsAtOnceKeepTheFileWhole() {
  Session session;
  MakeFile(session.Path("config"), "Zorvane Vistaro 0.2.ini", session.Expand(kAbc));
  const QString list = session.Value("Main/ImageListContent");
  const QStringList pictures{session.Path("a.png"), session.Path("b.png"), session.Path("c.png")};
  for (int round = 0; round < 100; ++round) {
    const auto first = session.Launch({"/rotate"}), second = session.Launch({"/rotate"});
    QCOMPARE(Finish(*first).status + Finish(*second).status, 0);
    QCOMPARE(session.Value("Main/ImageListContent"), list);
    QVERIFY(pictures.contains(session.Value("Main/ImageListLastSelected")));
  }
  QCOMPARE(session.State(false).size(), 1);
}

void tst_CommandMode::closingWindowDuringRotationKeepsTheLastWriter_data() {
  QTest::addColumn<QString>("rotateAfter");  // the window's write it follows
  QTest::addColumn<int>("expectedLast");
  // The window selects c; the rotation goes on from what it finds stored.
  QTest::newRow("rotation before the window writes") << QString() << 2;
  QTest::newRow("rotation between the selection and the list") << "ImageListLastSelected" << 0;
  QTest::newRow("rotation after the list") << "ImageListContent" << 0;
}

// The real settings store, with a rotation run by another process right
// after one given write of the window, which keeps its own cached copy of
// the settings: the window must not undo the rotation, and the list stays
// whole.
class InterleavedStore : public IniSettingsStore {
 public:
  using IniSettingsStore::IniSettingsStore;
  void Write(const QString& application, const QString& section, const QString& key,
             const QString& value) override {
    IniSettingsStore::Write(application, section, key, value);
    if (key == after) std::exchange(then, [] {})();
  }
  QString after;
  std::function<void()> then;
};

void tst_CommandMode::closingWindowDuringRotationKeepsTheLastWriter() {
  QFETCH(QString, rotateAfter);
  QFETCH(int, expectedLast);
  Session session;
  MakeFile(session.Path("config"), "Zorvane Vistaro 0.2.ini", session.Expand(kAbc));
  const QString list = session.Value("Main/ImageListContent");
  FakePlatform platform;
  bool rotated = false;
  auto store = std::make_unique<InterleavedStore>(session.Path("config"));
  store->after = rotateAfter;
  store->then = [&] { rotated = session.Start({"/rotate"}).status == 0; };
  CurrentPlatform().settings = std::move(store);
  WindowDriver driver;
  QVERIFY(driver.Start());
  auto* view = driver.Control<QListView>("lstImageList");
  view->setCurrentIndex(view->model()->index(2, 0));
  if (rotateAfter.isEmpty()) rotated = session.Start({"/rotate"}).status == 0;
  QVERIFY(driver.Close());
  QVERIFY(rotated);
  QCOMPARE(session.Value("Main/ImageListContent"), list);
  QCOMPARE(session.Value("Main/ImageListLastSelected"),
           session.Path(QStringList{"a.png", "b.png", "c.png"}[expectedLast]));
}

QTEST_MAIN(tst_CommandMode)
#include "tst_commandmode.moc"
