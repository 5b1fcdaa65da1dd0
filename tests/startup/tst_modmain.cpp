#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <new>

#include "errors/Errors.h"
#include "imagelist/ZVRImageList.h"
#include "startup/modMain.h"
#include "support/TestSupport.h"

using namespace modMain;

namespace {

constexpr char kLast[] = "Zorvane Vistaro 0.2/Main/ImageListLastSelected";
constexpr char kContent[] = "Zorvane Vistaro 0.2/Main/ImageListContent";

}  // namespace

class tst_modMain : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void dispatchByLowerCasedFirstArgument();
  void failedRotationWritesNothingMore();
  void windowModeWithoutDisplayCreatesNoWindow();
  void sharedImageListIsOneObject();
  void savingWithoutAListStoresTheEmptyList();
  void unhandledErrorLines();
  void errorInAnEventHandlerEndsTheProgram();

 private:
  bool RunMain(const QString& commandLine) {
    platform_->process->commandLine = commandLine;
    return Main();
  }
  void Store(const QStringList& names, const QString& last) {
    StringList list;
    list.SetSeparator("; ");
    for (const QString& name : names) list.Add(name);
    platform_->settings->values.insert(kContent, list.Text());
    platform_->settings->values.insert(kLast, last);
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<FakePlatform> platform_;
};

void tst_modMain::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  platform_ = std::make_unique<FakePlatform>();
}

void tst_modMain::cleanup() {
  // Main keeps the shared list for the whole run; every test starts afresh.
  SharedImageList();
  SaveImageListSetting();
  platform_.reset();
}

void tst_modMain::dispatchByLowerCasedFirstArgument() {
  const QString a = MakeFile(dir_->path(), "a.png"), b = MakeFile(dir_->path(), "b.png");
  Store({a, b}, a);
  const QString content = platform_->settings->values.value(kContent);

  QVERIFY(!RunMain("/AUTO extra"));
  const QString entry =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Zorvane Vistaro 0.2 "
      "Wallpaper Rotation";
  QCOMPARE(platform_->wallpaper->setFiles, QStringList{b});
  QCOMPARE(platform_->settings->values.value(kLast), b);
  QCOMPARE(platform_->registry->values.value(entry), "ZVistaro02 /rotate");
  QCOMPARE(platform_->messages->shown.size(), 1);
  QCOMPARE(platform_->messages->shown[0].prompt, entry + "\\ZVistaro02 /rotate");
  QCOMPARE(platform_->messages->shown[0].style, 0);
  QCOMPARE(platform_->messages->shown[0].caption, "Zorvane Vistaro 0.2");

  QVERIFY(!RunMain("/Remove"));
  QVERIFY(platform_->registry->values.isEmpty());
  QVERIFY(!RunMain("\"/rotate \""));
  QCOMPARE(platform_->messages->shown.size(), 2);
  const auto& help = platform_->messages->shown[1];
  QCOMPARE(help.prompt, CommandLineHelpText());
  QCOMPARE(help.style, 64);
  QCOMPARE(help.caption, "Zorvane Vistaro 0.2");
  const QStringList lines = help.prompt.split("\r\n");
  QCOMPARE(lines.size(), 11);
  QCOMPARE(lines[2], "\tthe next file in the current");
  QCOMPARE(platform_->settings->values.value(kContent), content);
}

void tst_modMain::failedRotationWritesNothingMore() {
  const QString a = MakeFile(dir_->path(), "a.png"), b = MakeFile(dir_->path(), "b.png");
  Store({a, b}, a);
  platform_->wallpaper->refusedFiles = QStringList{b};
  TraceRecorder trace;
  try {
    static_cast<void>(RunMain("/auto"));
    QFAIL("a refused wallpaper was reported as set");
  } catch (const ProgramError& error) {
    QCOMPARE(error.Number(), kErrUnexpectedInternal);
    QCOMPARE(error.Source(), "ZVistaro02");
  }
  QCOMPARE(trace.Lines().size(), 2);
  QVERIFY(trace.Lines()[0].startsWith("* Error (Number:=-2147213312"));
  QCOMPARE(platform_->settings->values.value(kLast), a);
  QVERIFY(platform_->registry->values.isEmpty());
  QVERIFY(platform_->messages->shown.isEmpty());
}

void tst_modMain::windowModeWithoutDisplayCreatesNoWindow() {
  const QString a = MakeFile(dir_->path(), "a.png");
  Store({a}, a);
  const auto before = platform_->settings->values;
  QVERIFY_THROWS_EXCEPTION(NoDisplayError, static_cast<void>(RunMain("  ")));
  QCOMPARE(platform_->settings->values, before);
  QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_modMain::sharedImageListIsOneObject() {
  const QString a = MakeFile(dir_->path(), "a.png");
  const auto first = SharedImageList();
  first->Add(a);
  QCOMPARE(SharedImageList().get(), first.get());
  QCOMPARE(SharedImageList()->Count(), 1);
}

void tst_modMain::savingWithoutAListStoresTheEmptyList() {
  // No list was ever needed in this run: nothing loaded, nothing asked for.
  Store({MakeFile(dir_->path(), "a.png")}, QString());
  SaveImageListSetting();
  QCOMPARE(platform_->settings->values.value(kContent), QString());
}

void tst_modMain::unhandledErrorLines() {
  QCOMPARE(UnhandledErrorLine(ProgramError(kErrInvalidParameter, "x", "Invalid Parameter")),
           "ZVistaro02: Error -2147213311 - Invalid Parameter");
  QCOMPARE(UnhandledErrorLine(NoDisplayError()), "ZVistaro02: no display to open the window on");
  QCOMPARE(UnhandledErrorLine(std::bad_alloc()), "ZVistaro02: Error 7 - Out of memory");
}

void tst_modMain::errorInAnEventHandlerEndsTheProgram() {
  QProcess program;
  program.start(ZV_THROWING_HANDLER, {});
  QVERIFY(program.waitForFinished(30000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 1);
  QCOMPARE(program.readAllStandardError(),
           QByteArray("ZVistaro02: Error -2147213311 - Invalid Parameter\n"));
  QVERIFY(program.readAllStandardOutput().isEmpty());
}

QTEST_MAIN(tst_modMain)
#include "tst_modmain.moc"
