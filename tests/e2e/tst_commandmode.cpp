#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include "kit/StringList.h"
#include "support/TestSupport.h"

namespace {

constexpr char kSettingsFile[] = "config/Zorvane Vistaro 0.2.ini";
constexpr char kEntryFile[] = "config/autostart/Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop";
constexpr char kHelp[] =
    "Command-line options:\r\n/rotate\tchange desktop-wallpaper to\r\n\tthe next file of the "
    "image list,\r\n\tafter the last one it set\r\n/auto\tauto-change desktop-wallpaper\r\n"
    "\teach time the current\r\n\tuser logs on\r\n/remove\tstop auto-changing\r\n"
    "\tdesktop-wallpaper\n";
constexpr char kEntryPath[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Zorvane Vistaro 0.2 "
    "Wallpaper Rotation\\";
constexpr char kInvalidParameter[] = "ZVistaro02: Error -2147213311 - Invalid Parameter\n";

struct Run {
  int status;
  QByteArray out;
  QByteArray err;
};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One user's world: HOME, XDG folders, pictures, and a wallpaper command that
// logs every file it is handed (and refuses names holding "refused").
class Session {
 public:
  Session() {
    QDir(dir.path()).mkpath("config");
    QDir(dir.path()).mkpath("home");
    const QString script = MakeFile(dir.path(), "set-wallpaper",
                                    "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$ZV_TEST_LOG\"\n"
                                    "case \"$1\" in *refused*) exit 1;; esac\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                      QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    env.insert("HOME", Path("home"));
    env.insert("XDG_CONFIG_HOME", Path("config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZVISTARO_WALLPAPER_COMMAND", script);
    env.insert("ZV_TEST_LOG", Path("wallpaper.log"));
  }
  QString Path(const QString& name) const { return dir.filePath(name); }
  QString Picture(const QString& name) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::green);
    image.save(Path(name), "PNG");
    return Path(name);
  }
  void Store(const QStringList& list, const QString& last) {
    QSettings settings(Path(kSettingsFile), QSettings::IniFormat);
    StringList names;
    names.SetSeparator("; ");
    for (const QString& name : list) names.Add(name);
    settings.setValue("Main/ImageListContent", names.Text());
    settings.setValue("Main/ImageListLastSelected", last);
  }
  QString Last() const {
    return QSettings(Path(kSettingsFile), QSettings::IniFormat)
        .value("Main/ImageListLastSelected")
        .toString();
  }
  QStringList SetFiles() const {
    return QString::fromUtf8(ReadAll(Path("wallpaper.log"))).split('\n', Qt::SkipEmptyParts);
  }
  Run Start(const QStringList& arguments, const QStringList& prefix = {}) const {
    QProcess process;
    process.setProcessEnvironment(env);
    const QStringList command = prefix + QStringList{program} + arguments;
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(30000)) qFatal("the program did not end");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
  }

  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  QString program = QStringLiteral(ZV_PROGRAM);
};

// The report line and the cause line after it.
QStringList ReportLines(const Run& run) { return QString::fromUtf8(run.err).split('\n'); }

}  // namespace

class tst_CommandMode : public QObject {
  Q_OBJECT

 private slots:
  void rotationWalksWrapsAndNeverRewritesTheList();
  void loadingDropsMissingNamesAndKeepsDuplicatesAndOddNames();
  void unknownLastOrRefusedFileChangesNothing();
  void everyReportNamesItsCause_data();
  void everyReportNamesItsCause();
  void autoWritesAnEntryThatRunsAndRemoveDeletesIt();
  void helpForEveryOtherFirstArgument_data();
  void helpForEveryOtherFirstArgument();
  void windowModeWithoutDisplayEndsWithOneLine();
  void unwritableSettingsFolderIsReportedAndKeepsTheOldFile();
};

void tst_CommandMode::rotationWalksWrapsAndNeverRewritesTheList() {
  Session session;
  const QString a = session.Picture("a.png"), b = session.Picture("b.png"),
                c = session.Picture("c.png");
  session.Store({a, b, c}, a);
  const QByteArray listLine = ReadAll(session.Path(kSettingsFile)).split('\n').value(1);
  for (const char* option : {"/rotate", "/ROTATE", "/Rotate"}) {
    const Run run = session.Start({option, "ignored"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.isEmpty() && run.err.isEmpty());
  }
  QCOMPARE(session.SetFiles(), (QStringList{b, c, a}));
  QCOMPARE(session.Last(), a);
  QCOMPARE(ReadAll(session.Path(kSettingsFile)).split('\n').value(1), listLine);
}

void tst_CommandMode::loadingDropsMissingNamesAndKeepsDuplicatesAndOddNames() {
  Session session;
  const QString a = session.Picture("a.png"), b = session.Picture("b.png"),
                c = session.Picture("c.png");
  const QString blank = session.Picture("a b.png"), quote = session.Picture("q\"t.png"),
                separator = session.Picture("s; t.png"), wide = session.Picture("Zörvane €.png");
  // With A, B, A, C the walk after B goes back to the second A, so C is
  // never reached; the missing name is skipped without a word.
  session.Store({a, session.Path("missing.png"), b, a, c}, a);
  for (int i = 0; i < 4; ++i) QCOMPARE(session.Start({"/rotate"}).status, 0);
  QCOMPARE(session.SetFiles(), (QStringList{b, a, b, a}));

  Session odd;
  odd.Store({blank, quote, separator, wide}, wide);
  for (int i = 0; i < 4; ++i) QCOMPARE(odd.Start({"/rotate"}).status, 0);
  QCOMPARE(odd.SetFiles(), (QStringList{blank, quote, separator, wide}));
}

void tst_CommandMode::unknownLastOrRefusedFileChangesNothing() {
  Session session;
  const QString a = session.Picture("a.png"), refused = session.Picture("refused.png");
  session.env.insert("ZVISTARO_TRACE", session.Path("trace.log"));
  session.Store({a, refused}, session.Path("A.png"));
  const QByteArray before = ReadAll(session.Path(kSettingsFile));
  for (const char* option : {"/rotate", "/auto"}) {
    const Run run = session.Start({option});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith(kInvalidParameter), run.err);
    QVERIFY(run.out.isEmpty());
  }
  QCOMPARE(ReadAll(session.Path(kSettingsFile)), before);
  QVERIFY(session.SetFiles().isEmpty());
  QVERIFY(!QFile::exists(session.Path(kEntryFile)));

  // A refused file blocks the rotation: every run tries it again.
  session.Store({a, refused}, a);
  QFile::remove(session.Path("trace.log"));
  for (int i = 0; i < 2; ++i) {
    const Run run = session.Start({"/auto"});
    QCOMPARE(run.status, 1);
    QCOMPARE(ReportLines(run).value(0),
             "ZVistaro02: Error -2147213312 - Unexpected internal error");
  }
  QCOMPARE(session.SetFiles(), (QStringList{refused, refused}));
  QCOMPARE(session.Last(), a);
  QVERIFY(!QFile::exists(session.Path(kEntryFile)));
  const QStringList trace = QString::fromUtf8(ReadAll(session.Path("trace.log"))).split('\n');
  const QStringList raised = trace.filter("* Err");
  QCOMPARE(raised, (QStringList{"* Error (Number:=-2147213312, Source:='')",
                                "* ErrDescr(Number:=-2147213312) [= Unexpected internal error]",
                                "* Error (Number:=-2147213312, Source:='')",
                                "* ErrDescr(Number:=-2147213312) [= Unexpected internal error]"}));
}

// The report line stays as scripts know it; the line after it names the file
// or value and says what to do.
void tst_CommandMode::everyReportNamesItsCause_data() {
  QTest::addColumn<QString>("last");
  QTest::addColumn<QString>("option");
  QTest::addColumn<bool>("noDesktop");
  QTest::addColumn<QString>("report");
  QTest::addColumn<QString>("cause");
  const QString invalid = "Error -2147213311 - Invalid Parameter";
  const QString refused = "Error -2147213312 - Unexpected internal error";
  QTest::newRow("last wallpaper not in the list")
      << "b.png"
      << "/rotate" << false << invalid
      << "the last wallpaper \"%1/b.png\" is not in the image list; open the window, select the "
         "entry to start after and close it";
  QTest::newRow("no last wallpaper stored")
      << ""
      << "/auto" << false << invalid << "no last wallpaper stored";
  QTest::newRow("next file no picture this installation reads")
      << "a.png"
      << "/rotate" << false << refused
      << "\"%1/x.webp\" is not a picture this installation can read (";
  QTest::newRow("the wallpaper command refuses")
      << "x.webp"
      << "/rotate" << false << refused
      << "the wallpaper command \"%1/set-wallpaper\" did not accept \"%1/refused.png\"";
  QTest::newRow("no desktop at all")
      << "x.webp"
      << "/rotate" << true << refused
      << "no desktop to set the wallpaper on (XDG_CURRENT_DESKTOP is \"\", DISPLAY is unset); set "
         "ZVISTARO_WALLPAPER_COMMAND";
  QTest::newRow("no logon entry to remove")
      << "a.png"
      << "/remove" << false << "Error -2147024894 - "
      << "there is no logon entry \"%1/config/autostart/Zorvane-Vistaro-0.2-Wallpaper-Rotation."
         "desktop\" to remove";
}

void tst_CommandMode::everyReportNamesItsCause() {
  QFETCH(QString, last);
  QFETCH(QString, option);
  QFETCH(bool, noDesktop);
  QFETCH(QString, report);
  QFETCH(QString, cause);
  Session session;
  const QString a = session.Picture("a.png");
  session.Picture("b.png");
  MakeFile(session.dir.path(), "x.webp", "RIFF\x10\0\0\0WEBPVP8 broken");
  const QString refused = session.Picture("refused.png");
  session.Store({a, session.Path("x.webp"), refused}, last.isEmpty() ? last : session.Path(last));
  if (noDesktop) {
    for (const char* name : {"ZVISTARO_WALLPAPER_COMMAND", "DISPLAY", "WAYLAND_DISPLAY"}) {
      session.env.remove(name);
    }
    session.env.insert("XDG_CURRENT_DESKTOP", "");
  }
  const Run run = session.Start({option});
  QCOMPARE(run.status, 1);
  const QStringList lines = ReportLines(run);
  QCOMPARE(lines.size(), 3);
  QVERIFY2(lines[0].startsWith("ZVistaro02: " + report), run.err);
  QVERIFY2(lines[1].startsWith("ZVistaro02: ") &&
               lines[1].contains(cause.replace("%1", session.dir.path())),
           run.err);
  QCOMPARE(lines[2], QString());
}

// The entry names this program so that it runs at logon: the bare name only
// when the PATH finds this very program, else its path, quoted so that a
// folder with blanks and quotes survives. GLib runs it as a session would.
void tst_CommandMode::autoWritesAnEntryThatRunsAndRemoveDeletesIt() {
  Session session;
  const QString a = session.Picture("a.png"), b = session.Picture("b.png");
  session.Store({a, b}, a);
  const QString folder = session.Path("it's a \"test\"");
  QVERIFY(QDir().mkpath(folder));
  const QFileInfo built(session.program);
  for (const QString& name : QDir(built.path()).entryList({"ZVistaro02", "libZKit10.so*"})) {
    QVERIFY(QFile::copy(built.dir().filePath(name), folder + '/' + name));
  }
  session.program = folder + "/ZVistaro02";
  const Run run = session.Start({"/auto"});
  QCOMPARE(run.status, 0);
  QString quoted = session.program;
  quoted.replace('"', "\"\"");
  QCOMPARE(run.out, kEntryPath + ('"' + quoted + "\" /rotate\n").toUtf8());
  QCOMPARE(QProcess::execute("desktop-file-validate", {session.Path(kEntryFile)}), 0);
  QProcess gio;
  gio.setProcessEnvironment(session.env);
  gio.start("gio", {"launch", session.Path(kEntryFile)});
  QVERIFY(gio.waitForFinished(30000) && gio.exitCode() == 0);
  QTRY_COMPARE(session.SetFiles(), (QStringList{b, a}));

  session.env.insert("PATH", folder + ':' + session.env.value("PATH"));
  for (const char* option : {"/auto", "/AUTO"}) {
    const Run again = session.Start({option});
    QCOMPARE(again.status, 0);
    QCOMPARE(again.out, kEntryPath + QByteArray("ZVistaro02 /rotate\n"));
  }
  QCOMPARE(QDir(session.Path("config/autostart")).entryList(QDir::Files).size(), 1);
  QCOMPARE(ReadAll(session.Path(kEntryFile)),
           QByteArray("[Desktop Entry]\nType=Application\nName=Zorvane Vistaro 0.2 Wallpaper "
                      "Rotation\nExec=ZVistaro02 /rotate\n"));

  const Run removed = session.Start({"/ReMove"});
  QCOMPARE(removed.status, 0);
  QVERIFY(removed.out.isEmpty() && removed.err.isEmpty());
  QVERIFY(!QFile::exists(session.Path(kEntryFile)));
  QCOMPARE(session.SetFiles().size(), 4);
}

void tst_CommandMode::helpForEveryOtherFirstArgument_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::newRow("no slash") << QStringList{"rotate"};
  QTest::newRow("dash") << QStringList{"-rotate"};
  QTest::newRow("trailing dot") << QStringList{"/rotate."};
  QTest::newRow("question mark") << QStringList{"/?"};
  QTest::newRow("empty argument") << QStringList{""};
  QTest::newRow("only the first argument counts") << QStringList{"/x", "/rotate"};
  QTest::newRow("Qt's own option is no option here") << QStringList{"-platform", "xcb"};
}

void tst_CommandMode::helpForEveryOtherFirstArgument() {
  QFETCH(QStringList, arguments);
  Session session;
  const Run run = session.Start(arguments);
  QCOMPARE(run.status, 0);
  QCOMPARE(run.out, QByteArray(kHelp));
  QVERIFY(run.err.isEmpty());
  QVERIFY(!QFile::exists(session.Path(kSettingsFile)));
}

void tst_CommandMode::windowModeWithoutDisplayEndsWithOneLine() {
  Session session;
  session.Store({session.Picture("a.png")}, QString());
  const QByteArray before = ReadAll(session.Path(kSettingsFile));
  Run run = session.Start({});
  QCOMPARE(run.status, 1);
  QCOMPARE(run.err, QByteArray("ZVistaro02: no display to open the window on\n"));
  // A display that is named but not there must not crash the program.
  session.env.remove("QT_QPA_PLATFORM");
  session.env.remove("WAYLAND_DISPLAY");
  session.env.insert("DISPLAY", ":47");
  run = session.Start({});
  QCOMPARE(run.status, 1);
  QCOMPARE(run.err, QByteArray("ZVistaro02: no display to open the window on\n"));
  QCOMPARE(ReadAll(session.Path(kSettingsFile)), before);
}

void tst_CommandMode::unwritableSettingsFolderIsReportedAndKeepsTheOldFile() {
  if (geteuid() != 0) QSKIP("needs root to run the program as another user");
  Session session;
  QFile::setPermissions(session.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther);
  const QString a = session.Picture("a.png"), b = session.Picture("b.png");
  session.Store({a, b}, a);
  // The file itself is writable: only an atomic replacement, which needs the
  // folder, keeps a half-written file from ever being seen.
  QFile::setPermissions(session.Path(kSettingsFile), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ReadOther | QFile::WriteOther);
  session.env.insert("HOME", "/nonexistent");
  session.env.insert("ZV_TEST_LOG", "/dev/null");
  const QByteArray before = ReadAll(session.Path(kSettingsFile));
  const Run run = session.Start(
      {"/rotate"}, {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
  QCOMPARE(run.status, 1);
  QVERIFY2(run.err.startsWith("ZVistaro02: Error 75 - Path/File access error: the settings "
                              "could not be stored in "),
           run.err.constData());
  QVERIFY2(run.err.contains("Permission denied"), run.err.constData());
  QCOMPARE(ReadAll(session.Path(kSettingsFile)), before);
  QCOMPARE(QDir(session.Path("config")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

QTEST_GUILESS_MAIN(tst_CommandMode)
#include "tst_commandmode.moc"
