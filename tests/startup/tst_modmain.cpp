#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "imagelist/ZVRImageList.h"
#include "startup/modMain.h"
#include "support/TestSupport.h"

using namespace modMain;

namespace {

constexpr char kLast[] = "Zorvane Vistaro 0.2/Main/ImageListLastSelected";
constexpr char kContent[] = "Zorvane Vistaro 0.2/Main/ImageListContent";

}  // namespace

// What the console form of the program cannot show: the message box styles
// and captions, and the module's shared objects. The commands' effects are
// tested on the built program (tests/e2e).
class tst_modMain : public QObject {
  Q_OBJECT

 private slots:
  void cleanup();
  void confirmationAndHelpBoxes();
  void savingWithoutAListStoresTheEmptyList();
  void errorInAnEventHandlerEndsTheProgram();
};

void tst_modMain::cleanup() {
  // Main keeps the shared list for the whole run; every test starts afresh.
  FakePlatform platform;
  SharedImageList();
  SaveImageListSetting();
}

void tst_modMain::confirmationAndHelpBoxes() {
  QTemporaryDir dir;
  FakePlatform platform;
  const QString a = MakeFile(dir.path(), "a.png"), b = MakeFile(dir.path(), "b.png");
  platform.settings->values.insert(kContent, "\"" + a + "\"; \"" + b + "\"");
  platform.settings->values.insert(kLast, a);
  platform.process->commandLine = "/Auto";
  QVERIFY(!Main());
  platform.process->commandLine = "\"/rotate \"";
  QVERIFY(!Main());

  const QString entry =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Zorvane Vistaro 0.2 "
      "Wallpaper Rotation";
  QCOMPARE(platform.registry->values.value(entry), "ZVistaro02 /rotate");
  QCOMPARE(platform.messages->shown.size(), 2);
  const auto& confirmation = platform.messages->shown[0];
  QCOMPARE(confirmation.prompt, entry + "\\ZVistaro02 /rotate");
  QCOMPARE(confirmation.style, 0);
  QCOMPARE(confirmation.caption, "Zorvane Vistaro 0.2");
  const auto& help = platform.messages->shown[1];
  QCOMPARE(help.prompt.split("\r\n").size(), 9);
  QCOMPARE(help.style, 64);
  QCOMPARE(help.caption, "Zorvane Vistaro 0.2");
  // The list is loaded once per run; the second Main of this test added it again.
  QCOMPARE(SharedImageList()->Count(), 4);
}

void tst_modMain::savingWithoutAListStoresTheEmptyList() {
  FakePlatform platform;
  platform.settings->values.insert(kContent, "\"/gone.png\"");
  // No list was ever needed in this run: nothing loaded, nothing asked for.
  SaveImageListSetting();
  QCOMPARE(platform.settings->values.value(kContent), QString());
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
