#include <QListView>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>
#include <utility>

#include "platform/linux/LinuxSettingsStore.h"
#include "support/TestSupport.h"
#include "window/WindowDriver.h"

namespace {

constexpr char kHelp[] =
    "Command-line options:\n/rotate\tchange desktop-wallpaper to\n\tthe next file of the "
    "image list,\n\tafter the last one it set\n/auto\tauto-change desktop-wallpaper\n"
    "\teach time the current\n\tuser logs on\n/remove\tstop auto-changing\n"
    "\tdesktop-wallpaper\n";
constexpr char kEntryFile[] = "config/autostart/Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop";
constexpr char kEntry[] =
    "Logon entry written: ~config/autostart/Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop\nExec=";
constexpr char kInvalid[] = "ZVistaro02: Error -2147213311 - Invalid Parameter\nZVistaro02: ";
constexpr char kRefused[] =
    "ZVistaro02: Error -2147213312 - Unexpected internal error\nZVistaro02: ";
constexpr char kError75[] = "ZVistaro02: Error 75 - Path/File access error: the settings could ";
constexpr char kLast[] = "Main/ImageListLastSelected";

// A settings file with the list (as the INI value, without its quotes), as
// an earlier version kept it.
QByteArray Ini(const QByteArray& list, const QByteArray& last = "~a.png") {
  return "[Main]\nImageListLastSelected=" + last + "\nImageListContent=\"" + list + "\"\n";
}
const QByteArray kAbc = Ini("~a.png; ~b.png; ~c.png");

struct Run {
  int status;
  QByteArray out, err;
};

// One run of the program, repeated `runs` times.
struct Case {
  QStringList arguments;
  QByteArray settings;  // none when empty
  QString setup;        // shell commands in the config folder; 77 skips
  QString prefix;       // shell words before the program
  int runs, status;
  QByteArray output;  // standard output, then error; * for any text
  QByteArray log;     // every file the wallpaper command was handed
};

// One user's world: pictures, a file that is no picture, the settings file
// ($F; ~F in texts, ~ alone stands for the folder of it all) and the list
// file ($L), the logon entry's place ($E) and a wallpaper command that logs
// every file it is handed and refuses names holding "refused".
struct Session {
  explicit Session(const QByteArray& settings = kAbc) {
    QDir(dir.path()).mkdir("config");
    MakeFile(Path("config"), "Zorvane Vistaro 0.2.ini", Expand(settings));
    // The list goes to the list file, as the program itself moves it there.
    LinuxSettingsStore(Path("config"))
        .ReadList("Zorvane Vistaro 0.2", "Main", "ImageListContent", [](auto) { return false; });
    env.insert("XDG_CONFIG_HOME", Path("config"));
    env.insert("XDG_DATA_HOME", Path("data"));
    env.insert("ZVISTARO_WALLPAPER_COMMAND", Path("set-wallpaper"));
    env.insert("ZV_TEST_LOG", Path("wallpaper.log"));
    env.insert("F", Path("config/Zorvane Vistaro 0.2.ini"));
    env.insert("L", Path("config/Zorvane Vistaro 0.2.list"));
    env.insert("E", Path(kEntryFile));
    env.insert("P", ZV_PROGRAM);
    // A 1x1 PNG, copied under every name.
    Shell(
        "chmod 600 \"$F\"; [ -s \"$F\" ] || rm \"$F\"; cd .. && base64 -d >a.png <<<iVBORw0KGgoAAAA"
        "NSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGNg+M8AAAICAQB7CYF4AAAAAElFTkSuQmCC; for n in b "
        "c refused 'a b' 'q\"t' 's; t' 'Zörvane €'; do cp a.png \"$n.png\"; done; printf 'RIFF\\020"
        "WEBPVP8 broken' >x.webp; printf '#!/bin/sh\\nprintf \"%%s\\\\n\" \"$1\" "
        ">>\"$ZV_TEST_LOG\"\\n"
        "case \"$1\" in *refused*) exit 1;; esac\\n' >set-wallpaper; chmod 755 set-wallpaper");
  }
  // Names that are no UTF-8 are beyond QTemporaryDir: the shell removes them.
  ~Session() { Shell("cd .. && { ! mountpoint -q config || umount config; } && rm -rf ./*"); }
  QString Path(const QString& name) const { return dir.filePath(name); }
  QByteArray List() const { return Shell("cat \"$L\"").out; }
  QByteArray Expand(QByteArray text) const {
    return text.replace("~F", env.value("F").toUtf8()).replace("~", (dir.path() + "/").toUtf8());
  }
  QString Value(const QString& key) const {  // none from a FIFO, which would block
    if (!QFileInfo(env.value("F")).isFile()) return {};
    return QSettings(env.value("F"), QSettings::IniFormat).value(key).toString();
  }
  // Runs the script by bash in the configuration folder, $1 on the arguments.
  Run Shell(const QString& script, const QStringList& arguments = {}) const {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(Path("config"));
    process.start("bash", QStringList{"-c", script, "bash"} + arguments);
    if (!process.waitForFinished(30000)) process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
  }
  QByteArray Log() const { return Shell("cat \"$ZV_TEST_LOG\" 2>/dev/null").out; }
  // The program, after shell words that can change its limits, environment
  // or user.
  Run Start(const QStringList& arguments, const QString& prefix = {}) const {
    return Shell((prefix.isEmpty() ? "exec" : prefix) + " \"$P\" \"$@\"", arguments);
  }
  // Every entry of the configuration folder but the logon entry: its kind,
  // permissions and link target, and where asked for the settings.
  QByteArray State(bool contents) const {
    return Shell("find . -path ./autostart -prune -o -printf '%p %y %m %l\\n' | sort" +
                 QString(contents ? "; [ -f \"$F\" ] && cat \"$F\"; cat \"$L\"" : ""))
        .out;
  }

  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// The real settings store, with other programs at work right after the
// window stored its selection and before it stores the list.
class InterleavedStore : public LinuxSettingsStore {
 public:
  using LinuxSettingsStore::LinuxSettingsStore;
  void WriteList(const QString& application, const QString& section, const QString& key,
                 const StringList& names) override {
    std::exchange(then, [] {})();
    LinuxSettingsStore::WriteList(application, section, key, names);
  }
  std::function<void()> then;
};

}  // namespace
Q_DECLARE_METATYPE(Case)

class tst_CommandMode : public QObject {
  Q_OBJECT

 private slots:
  void commandRun_data() {
    QTest::addColumn<Case>("c");
    const QStringList rotate{"/rotate"};
    const QByteArray crLf = QByteArray(kAbc).replace("\n", "\r\n");
    const QByteArray padding = "Padding=" + QByteArray(60000, 'x');
    const QByteArray notStored = kError75 + QByteArray("not be stored in ~F (");
    const QByteArray notRead =
        kError75 + QByteArray("not be read from ~F (it is not a regular file*");
    auto row = [](const char* name, const QStringList& arguments, const QByteArray& settings,
                  const QString& setup, const QString& prefix, int runs, int status,
                  const QByteArray& output, const QByteArray& log) {
      QTest::newRow(name) << Case{arguments, settings, setup, prefix, runs, status, output, log};
    };
    // Rotation: the next entry after the stored one, wrapping, past missing
    // files enough to make the list longer than the pieces it is read in.
    const QByteArray gone = QByteArray("~gone.png; ").repeated(4000);
    row("any case, later arguments ignored, odd names", {"/ROTATE", "x"},
        Ini(gone + "~a b.png; \\\"~q\\\"\\\"t.png\\\"; " + gone +
                "\\\"~s; t.png\\\"; ~Zörvane €.png",
            "~Zörvane €.png"),
        {}, {}, 4, 0, {}, "~a b.png\n~q\"t.png\n~s; t.png\n~Zörvane €.png\n");
    row("a name lost to the encoding is reported, before and after wrapping", rotate,
        Ini("~\xff.png; ~a.png; ~\xff.png; ~b.png"), {}, {}, 2, 0,
        "ZVistaro02: skipped ~\xef\xbf\xbd.png: there is no such file; each*", "~b.png\n~a.png\n");
    // The logon entry names the program by its bare name when the PATH finds
    // this very program, otherwise by a link of its own, whatever its
    // folder's name holds: a session's launcher runs it from there.
    const QByteArray byLink = kEntry + QByteArray("~data/ZVistaro02/ZVistaro02 /rotate\n");
    row("/auto by link", {"/Auto"}, kAbc, {}, {}, 1, 0, byLink, "~b.png\n");
    row("/auto by bare name, after one by link", {"/auto"}, kAbc,
        "mkdir -p ../data/ZVistaro02 && ln -s \"$P\" ../data/ZVistaro02/ZVistaro02",
        "PATH=$(dirname \"$P\"):$PATH exec", 1, 0, kEntry + QByteArray("ZVistaro02 /rotate\n"),
        "~b.png\n");
    const QString odd = R"sh(d=$'../100% it\'s "a" \xff'; )sh";
    row("/auto from a folder holding % and no UTF-8", {"/auto"}, kAbc,
        odd + R"sh(mkdir "$d" && cp "$P" "$(dirname "$P")"/libZKit10.so* "$d")sh",
        odd + R"sh(P="$d/ZVistaro02"; exec)sh", 1, 0, byLink, "~b.png\n");
    row("/remove deletes the entry and the program's link", {"/ReMove"}, kAbc,
        "mkdir autostart && touch \"$E\" && mkdir -p ../data/ZVistaro02 && ln -s \"$P\" "
        "../data/ZVistaro02/ZVistaro02",
        {}, 1, 0, {}, {});
    // Every report names its cause; nothing changes. A terminal's escape
    // sequence in a name is shown, not sent.
    row("last not in the list", rotate, Ini("~a.png", "~b\x1b[2J\x7f.png"),
        R"(cp ../a.png $'../b\e[2J\x7f.png')", {}, 1, 1,
        kInvalid + QByteArray("the last wallpaper \"~b\\x1b[2J\\x7f.png\" is not in the image "
                              "list; open the window, select the entry to start after and close "
                              "it\n"),
        {});
    row("no last stored, /auto", {"/auto"}, Ini("~a.png", ""), {}, {}, 1, 1,
        kInvalid + QByteArray("the image list does not say where the rotation stands (no last*"),
        {});
    // Entries that cannot be shown are passed over, each named with what to
    // do; only a list of nothing else ends with the report.
    const QString bigAndText =
        "printf '\\x89PNG\\r\\n\\x1a\\n\\0\\0\\0\\rIHDR\\0\\0N \\0\\0N "
        "\\b\\6\\0\\0\\0\\xe3pF9\\0\\0\\0"
        "\\0IDAT5\\xaf\\x06\\x1e\\0\\0\\0\\0IEND\\xaeB`\\x82' >../big.png; echo text >../x.txt; "
        "printf '\\0\\0\\2\\0\\0\\0\\0\\0\\0\\0\\0\\0\\2\\0\\2\\0\\030\\0abcdefghijkl' "
        ">../nofooter.tga; ";
    const QByteArray passed = "; the rotation passed over it: remove it from the image list\n";
    row("passed over: a text file, a too-big picture, an unreadable file, a TGA that does not "
        "decode",
        rotate, Ini("~a.png; ~x.txt; ~big.png; ~unreadable.png; ~nofooter.tga; ~b.png"),
        bigAndText +
            "[ $(id -u) = 0 ] || exit 77; cp ../a.png ../unreadable.png; chmod 000 "
            "../unreadable.png; chmod 755 ..; chmod 777 .; chmod 666 \"$F\"; touch "
            "../wallpaper.log; chmod 666 ../wallpaper.log",
        "export HOME=/nonexistent; exec setpriv --reuid=65534 --regid=65534 --clear-groups --", 1,
        0,
        "ZVistaro02: \"~x.txt\" is not a picture this installation can read (*)" + passed +
            "ZVistaro02: \"~big.png\" is a 20000 x 20000 PNG picture whose decoding would need * "
            "MB, more than the limit of 1024 MB" +
            passed + "ZVistaro02: \"~unreadable.png\" cannot be read (Permission denied)*" +
            passed + "ZVistaro02: \"~nofooter.tga\" does not decode as a picture (*)" + passed,
        "~b.png\n");
    row("nothing but entries that cannot be shown", rotate, Ini("~x.webp; ~big.png", "~x.webp"),
        bigAndText, {}, 1, 1,
        "ZVistaro02: \"~big.png\" is a *" + passed + "ZVistaro02: \"~x.webp\" is not a *" + passed +
            "ZVistaro02: Error 481 - Invalid picture\nZVistaro02: none of the 2 entries of the "
            "image list that were tried can be shown*",
        {});
    row("refused every time, /auto", {"/auto"}, Ini("~a.png; ~refused.png"), {}, {}, 2, 1,
        kRefused + QByteArray("the wallpaper command \"~set-wallpaper\" did not accept "
                              "\"~refused.png\"*"),
        "~refused.png\n~refused.png\n");
    row("no desktop at all", rotate, kAbc, {},
        "unset ZVISTARO_WALLPAPER_COMMAND DISPLAY WAYLAND_DISPLAY; XDG_CURRENT_DESKTOP= exec", 1, 1,
        kRefused + QByteArray("no desktop to set the wallpaper on (XDG_CURRENT_DESKTOP is \"\", "
                              "DISPLAY is unset); set ZVISTARO_WALLPAPER_COMMAND*"),
        {});
    // Each cause says what failed: nothing was asked that did not answer.
    row("DISPLAY names no X server", rotate, kAbc, {},
        "unset ZVISTARO_WALLPAPER_COMMAND WAYLAND_DISPLAY; XDG_CURRENT_DESKTOP= DISPLAY=:9876 exec",
        1, 1, kRefused + QByteArray("the X display \":9876\" (DISPLAY) cannot be opened;*"), {});
    row("the wallpaper command does not exist", rotate, kAbc, {},
        "ZVISTARO_WALLPAPER_COMMAND=\"$PWD/absent --x\" exec", 1, 1,
        kRefused + QByteArray("the wallpaper command \"~config/absent --x\" could not be run (*"),
        {});
    // /remove never reads the settings, even a FIFO that would block.
    row("no entry to remove", {"/remove"}, kAbc, "rm \"$F\" && mkfifo \"$F\"", {}, 1, 1,
        "ZVistaro02: Error -2147024894 - Unable to remove the logon entry\nZVistaro02: there is no "
        "logon entry at \"~" +
            QByteArray(kEntryFile) + "\"; /auto writes one\n",
        {});
    // Help for every other first argument; window mode needs a display.
    for (const QStringList& arguments : QList<QStringList>{
             {"rotate"}, {"/rotate."}, {"/?"}, {""}, {"/x", "/rotate"}, {"-platform", "xcb"}}) {
      row(qPrintable("help: " + arguments.join(' ')), arguments, {}, {}, {}, 1, 0, kHelp, {});
    }
    row("no display", {}, kAbc, {}, {}, 1, 1, "ZVistaro02: no display to open the window on\n", {});
    // The display going away under the open window (and its pictures' decoders) ends the program
    // with the report, never a signal; the settings stay as they were.
    row("X server stopped under the window", {}, kAbc, {},
        "unset QT_QPA_PLATFORM; Xvfb -displayfd 3 -noreset -nolisten tcp 3>../display 2>/dev/null "
        "& x=$!; until [ -s ../display ]; do sleep 0.1; done; export DISPLAY=:$(cat ../display); "
        "{ for i in $(seq 300); do xwininfo -name 'Zorvane Vistaro 0.2.5' >/dev/null 2>&1 && "
        "break; sleep 0.1; done; kill $x; } & exec",
        1, 1, "*ZVistaro02: Error 68 - Device unavailable\n", {});
    // A damaged settings file: what still reads is used.
    row("garbage before the section, hand-edited, through a chain of links", rotate,
        QByteArray("\x00\xff\xfe[[=\n=\\x\n@ByteArray(\n", 23) + crLf,
        "mkdir real && mv \"$F\" real/s.ini && ln -s real/s.ini l2 && ln -s l2 \"$F\"", {}, 1, 0,
        {}, "~b.png\n");
    // A file that cannot or must not be replaced stays as it was, refused
    // before the desktop is asked.
    row("read-only, even for root", rotate, kAbc, "chmod 444 \"$F\"", {}, 1, 1,
        notStored +
            "the file is read-only; allow writing to it to store settings)\n"
            "ZVistaro02: the settings stay as they were; check that ~F and its folder*",
        {});
    row("a FIFO in its place", rotate, kAbc, "rm \"$F\" && mkfifo \"$F\"", {}, 1, 1, notRead, {});
    // A list file that cannot be read is no empty list.
    row("a loop of links as the list", rotate, kAbc, "rm \"$L\" && ln -s \"$L\" \"$L\"", {}, 1, 1,
        kError75 + QByteArray("not be read from ~config/Zorvane Vistaro 0.2.list (Too many levels "
                              "of symbolic links)*"),
        {});
    // The disk has room for one copy of the file but not for the file
    // QSettings writes beside it, or the file size is limited: the rotation
    // finds out before the desktop changes, and the signal of the limit
    // kills nothing.
    row("full disk, hand-edited file", rotate, crLf + padding + "\r\n",
        "mv \"$F\" ../s && mv \"$L\" ../l && { mount -t tmpfs -o size=151552 tmpfs . "
        "|| exit 77; } && mv ../s \"$F\" && mv ../l \"$L\"",
        {}, 1, 1, notStored + "No space left on device)*", {});
    row("file size limit", rotate, kAbc + padding, {}, "ulimit -f 1; exec", 1, 1,
        notStored + "File too large)*", {});
    // Only an atomic replacement, which needs the folder, keeps a
    // half-written file from ever being seen.
    row("folder not writable", rotate, kAbc,
        "[ $(id -u) = 0 ] || exit 77; chmod 755 ..; chmod 666 \"$F\"",
        "export HOME=/nonexistent ZV_TEST_LOG=/dev/null; exec setpriv --reuid=65534 "
        "--regid=65534 --clear-groups --",
        1, 1, notStored + "Permission denied*", {});
  }

  // Runs the program and checks its exit status, output, wallpapers and the
  // files it leaves: after a success the stored last wallpaper is the one
  // set last and the list is as it was, after a failure every file is as it
  // was; the permissions, links and the folder's other files never change.
  void commandRun() {
    QFETCH(Case, c);
    Session session(c.settings);
    const int prepared = session.Shell(c.setup).status;
    if (prepared == 77) QSKIP("this user cannot prepare the case");
    QCOMPARE(prepared, 0);
    const QByteArray before = session.State(true), shape = session.State(false);
    const QByteArray list = session.List();
    QString pattern = QRegularExpression::escape(QString::fromUtf8(session.Expand(c.output)));
    const QRegularExpression expected("\\A" + pattern.replace("\\*", ".*") + "\\z",
                                      QRegularExpression::DotMatchesEverythingOption);
    for (int i = 0; i < c.runs; ++i) {
      const Run run = session.Start(c.arguments, c.prefix);
      QCOMPARE(run.status, c.status);
      QVERIFY2(expected.match(QString::fromUtf8(run.out + run.err)).hasMatch(), run.out + run.err);
    }
    const QByteArray log = session.Expand(c.log), last = log.split('\n').value(c.runs - 1);
    QCOMPARE(session.Log(), log);
    QCOMPARE(QFile::exists(session.Path(kEntryFile)), c.output.startsWith(kEntry));
    QCOMPARE(QFileInfo(session.Path("data/ZVistaro02/ZVistaro02")).isSymLink(),
             c.output.contains("~data/ZVistaro02/ZVistaro02"));
    if (c.status == 0 && !log.isEmpty())
      QCOMPARE(session.State(false) + session.Value(kLast).toUtf8() + session.List(),
               shape + last + list);
    else
      QCOMPARE(session.State(true), before);
    // A logon entry validates, and a session's launcher runs it.
    if (!c.output.startsWith(kEntry)) return;
    const QString launch =
        "desktop-file-validate \"$E\" && PATH=$(dirname \"$P\"):$PATH gio launch \"$E\"";
    QCOMPARE(session.Shell(launch).status, 0);
    QTRY_COMPARE(session.Log().count('\n'), log.count('\n') + 1);
  }

  // Two rotations at once take turns, each setting the picture after the
  // other's. The window, which read the settings when it opened, keeps what
  // other programs changed in them meanwhile (a hand edit before it closes;
  // a rotation and another hand edit while it stores the list) and stores
  // its whole list.
  void concurrentWritersKeepTheirChanges() {
    Session session;
    const QByteArray list = session.List();
    for (int round = 0; round < 40; ++round) {
      QCOMPARE(session.Shell("\"$P\" /rotate & \"$P\" /rotate && wait $!").status, 0);
    }
    const QList<QByteArray> set = session.Log().split('\n');
    QCOMPARE(set.size(), 81);  // and an empty item after the last line feed
    for (qsizetype i = 1; i < 80; ++i) QVERIFY2(set[i] != set[i - 1], set[i]);
    QCOMPARE(session.Value(kLast).toUtf8(), set[79]);
    QCOMPARE(session.List(), list);
    QCOMPARE(session.State(false).count('\n'), 3);  // the folder and the two files
    FakePlatform platform;
    auto store = std::make_unique<InterleavedStore>(session.Path("config"));
    store->then = [&] {
      session.Start({"/rotate"});
      session.Shell("printf 'During=2\\n' >>\"$F\"");
    };
    CurrentPlatform().settings = std::move(store);
    WindowDriver driver;
    QVERIFY(driver.Start());
    auto* view = driver.Control<QListView>("lstImageList");
    view->setCurrentIndex(view->model()->index(2, 0));  // c, after which comes a
    session.Shell("printf 'Before=1\\n' >>\"$F\"");
    QVERIFY(driver.Close());
    QCOMPARE(session.List(), list);
    QCOMPARE(session.Value(kLast), session.Path("a.png"));
    QCOMPARE(session.Value("Main/Before") + session.Value("Main/During"), "12");
  }
};

QTEST_MAIN(tst_CommandMode)
#include "tst_commandmode.moc"
