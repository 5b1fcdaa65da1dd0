#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

#include <cstdio>

#include "imagelist/ZVRImageList.h"
#include "startup/modMain.h"
#include "support/TestSupport.h"

using namespace modMain;

namespace {

constexpr char kLast[] = "Zorvane Vistaro 0.2/Main/ImageListLastSelected";
constexpr char kContent[] = "Zorvane Vistaro 0.2/Main/ImageListContent";

// What the call writes to standard error.
template <typename Call>
QByteArray StandardErrorOf(Call call) {
  QTemporaryFile file;
  if (!file.open()) return "cannot capture standard error";
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(file.handle(), STDERR_FILENO);
  call();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  file.seek(0);
  return file.readAll();
}

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
  void rotationReportsNamesLostToTheEncoding();
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
  QCOMPARE(help.prompt.split("\r\n").size(), 11);
  QCOMPARE(help.style, 64);
  QCOMPARE(help.caption, "Zorvane Vistaro 0.2");
  // A command reads only what it needs: the whole list is never loaded.
  QCOMPARE(SharedImageList()->Count(), 0);
}

void tst_modMain::savingWithoutAListStoresTheEmptyList() {
  FakePlatform platform;
  platform.settings->values.insert(kContent, "\"/gone.png\"");
  // No list was ever needed in this run: nothing loaded, nothing asked for.
  SaveImageListSetting();
  QCOMPARE(platform.settings->values.value(kContent), QString());
}

// Qt reads a stored name that is not valid UTF-8 with U+FFFD for each bad
// byte, and lists no file whose name is not: such a name is found nowhere.
void tst_modMain::rotationReportsNamesLostToTheEncoding() {
  QTemporaryDir dir;
  FakePlatform platform;
  const QString a = MakeFile(dir.path(), "a.png"), b = MakeFile(dir.path(), "b.png");
  const QString lost = dir.path() + "/" + QChar(0xFFFD) + ".png";
  platform.settings->values.insert(kContent,
                                   QStringList{a, dir.path() + "/gone.png", lost, b}.join("; "));
  platform.settings->values.insert(kLast, a);
  platform.process->commandLine = "/rotate";
  bool shown = true;
  const QByteArray err = StandardErrorOf([&] { shown = Main(); });
  QVERIFY(!shown);
  QCOMPARE(platform.wallpaper->setFiles, QStringList{b});
  QCOMPARE(platform.settings->values.value(kLast), b);
  QCOMPARE(err.count('\n'), 1);
  QVERIFY2(err.startsWith("ZVistaro02: skipped " + lost.toUtf8() + ": "), err.constData());
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
