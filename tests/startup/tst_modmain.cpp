#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdlib>

#include "errors/Errors.h"
#include "platform/GuiApplication.h"

#include "startup/modMain.h"
#include "support/TestSupport.h"

using namespace modMain;

// What the console form of the program cannot show: the message boxes'
// styles and captions, and the module's shared objects. The commands'
// effects are tested on the built program (tests/e2e).
class tst_modMain : public QObject {
  Q_OBJECT

 public:
  // Run again with ZV_RAISE_IN_HANDLER set: a program whose only event
  // handler raises a numbered error.
  static void initMain() {
    if (!qEnvironmentVariableIsSet("ZV_RAISE_IN_HANDLER")) return;
    GuiApplication::SetErrorHandler(&EndWithErrorReport);
    GuiApplication& application = EnsureGuiApplication();
    QTimer::singleShot(0, [] { RaiseError(kErrInvalidParameter, "Handler"); });
    std::exit(application.exec());
  }

 private slots:
  void confirmationAndHelpBoxes();
  void errorInAnEventHandlerEndsTheProgram();
};

void tst_modMain::confirmationAndHelpBoxes() {
  FakePlatform platform;
  const QString a = QFINDTESTDATA("tst_modmain.cpp"), b = QFINDTESTDATA("CMakeLists.txt");
  platform.settings->values.insert("Zorvane Vistaro 0.2/Main/ImageListContent", a + "; " + b);
  platform.settings->values.insert("Zorvane Vistaro 0.2/Main/ImageListLastSelected", a);
  for (const char* line : {"/Auto", "\"/rotate \""}) {
    platform.process->commandLine = line;
    QVERIFY(!Main());
  }
  QStringList shown;
  for (const auto& box : platform.messages->shown)
    shown << QString::number(box.style) + box.caption;
  QCOMPARE(shown, QStringList({"0Zorvane Vistaro 0.2", "64Zorvane Vistaro 0.2"}));
  // A command reads only what it needs: the whole list is never loaded, and
  // a run that never needed it stores the empty one instead of failing.
  SaveImageListSetting();
  QCOMPARE(platform.settings->values.value("Zorvane Vistaro 0.2/Main/ImageListContent"), "");
}

void tst_modMain::errorInAnEventHandlerEndsTheProgram() {
  QProcess program;
  qputenv("ZV_RAISE_IN_HANDLER", "1");
  program.start(QCoreApplication::applicationFilePath(), {});
  QVERIFY(program.waitForFinished(30000));
  QCOMPARE(program.readAll() + program.readAllStandardError() + char('0' + program.exitCode()),
           "ZVistaro02: Error -2147213311 - Invalid Parameter\n1");
}

QTEST_MAIN(tst_modMain)
#include "tst_modmain.moc"
