#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <glib.h>

#include "kit/ProgramError.h"
#include "platform/linux/AutostartEntry.h"

namespace {

constexpr char kRun[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";

// The arguments a launcher gets from an Exec line: GLib's shell-like
// unquoting, then %% as one %.
QStringList ParseExec(const QString& exec) {
  gchar** argv = nullptr;
  if (!g_shell_parse_argv(exec.toUtf8().constData(), nullptr, &argv, nullptr)) return {"?"};
  QStringList arguments;
  for (gchar** arg = argv; *arg; ++arg) {
    arguments += QString::fromUtf8(*arg).replace("%%", "%");
  }
  g_strfreev(argv);
  return arguments;
}

qint32 ErrorNumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ProgramError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace

class tst_AutostartEntry : public QObject {
  Q_OBJECT

 private slots:
  void execLineParsesBackAndValidates_data();
  void execLineParsesBackAndValidates();
  void entryFileNamesAndForeignPaths();
  void controlCharactersAreRefusedAndNothingIsWritten();
  void deleteRemovesOnlyAnExistingEntry();
};

void tst_AutostartEntry::execLineParsesBackAndValidates_data() {
  QTest::addColumn<QString>("commandLine");
  QTest::addColumn<QStringList>("arguments");
  QTest::newRow("logon entry") << "ZVistaro02 /rotate" << QStringList{"ZVistaro02", "/rotate"};
  QTest::newRow("blank in a quoted path")
      << "\"/opt/my apps/ZVistaro02\" /rotate" << QStringList{"/opt/my apps/ZVistaro02", "/rotate"};
  QTest::newRow("shell characters stay plain")
      << "a$HOME `b` c\\d \"e\"\"f\" g;h" << QStringList{"a$HOME", "`b`", "c\\d", "e\"f", "g;h"};
  QTest::newRow("percent is no field code") << "x %f 100%" << QStringList{"x", "%f", "100%"};
  QTest::newRow("empty argument") << "x \"\" y" << QStringList{"x", "", "y"};
  QTest::newRow("non-ASCII") << "Zörvane /rotate" << QStringList{"Zörvane", "/rotate"};
}

void tst_AutostartEntry::execLineParsesBackAndValidates() {
  QFETCH(QString, commandLine);
  QFETCH(QStringList, arguments);
  QTemporaryDir dir;
  AutostartRegistry registry(dir.filePath("autostart"));
  registry.RegWrite(QLatin1String(kRun) + "Test Entry", commandLine);
  const QString file = dir.filePath("autostart/Test-Entry.desktop");
  QCOMPARE(QProcess::execute("desktop-file-validate", {file}), 0);

  GKeyFile* entry = g_key_file_new();
  QVERIFY(g_key_file_load_from_file(entry, QFile::encodeName(file), G_KEY_FILE_NONE, nullptr));
  gchar* exec = g_key_file_get_string(entry, "Desktop Entry", "Exec", nullptr);
  gchar* name = g_key_file_get_string(entry, "Desktop Entry", "Name", nullptr);
  QCOMPARE(ParseExec(QString::fromUtf8(exec)), arguments);
  QCOMPARE(QString::fromUtf8(name), QStringLiteral("Test Entry"));
  g_free(exec);
  g_free(name);
  g_key_file_free(entry);
}

void tst_AutostartEntry::entryFileNamesAndForeignPaths() {
  AutostartRegistry registry("/a");
  QCOMPARE(registry.EntryFile(QLatin1String(kRun) + "Zorvane Vistaro 0.2 Wallpaper Rotation"),
           "/a/Zorvane-Vistaro-0.2-Wallpaper-Rotation.desktop");
  QCOMPARE(registry.EntryFile("hkcu\\SOFTWARE\\microsoft\\windows\\currentversion\\run\\../x/y"),
           "/a/..-x-y.desktop");
  const QStringList foreign{
      "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\x",
      QLatin1String(kRun), QLatin1String(kRun) + "sub\\x", "x"};
  for (const QString& path : foreign) {
    QCOMPARE(ErrorNumberOf([&] { registry.EntryFile(path); }), -2147024809);
  }
}

void tst_AutostartEntry::controlCharactersAreRefusedAndNothingIsWritten() {
  QTemporaryDir dir;
  AutostartRegistry registry(dir.path());
  for (const QString& value : {QStringLiteral("x\n[Other]\nExec=evil"), QStringLiteral("x\ty"),
                               QStringLiteral("x") + QChar(0) + "y", QStringLiteral("x\x7fy")}) {
    QCOMPARE(ErrorNumberOf([&] { registry.RegWrite(QLatin1String(kRun) + "e", value); }),
             -2147024809);
  }
  QCOMPARE(ErrorNumberOf([&] { registry.RegWrite(QLatin1String(kRun) + "e\nf", "x"); }),
           -2147024809);
  QVERIFY(QDir(dir.path()).isEmpty());
}

void tst_AutostartEntry::deleteRemovesOnlyAnExistingEntry() {
  QTemporaryDir dir;
  AutostartRegistry registry(dir.path());
  const QString path = QLatin1String(kRun) + "e";
  QCOMPARE(ErrorNumberOf([&] { registry.RegDelete(path); }), -2147024894);
  registry.RegWrite(path, "old /rotate");
  registry.RegWrite(path, "new /rotate");
  QVERIFY(QFile(dir.filePath("e.desktop")).open(QIODevice::ReadOnly));
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
  registry.RegDelete(path);
  QVERIFY(!QFile::exists(dir.filePath("e.desktop")));
  QCOMPARE(ErrorNumberOf([&] { registry.RegDelete(path); }), -2147024894);
  // A folder of that name is nobody's logon entry.
  QVERIFY(QDir(dir.path()).mkdir("e.desktop"));
  QVERIFY(ErrorNumberOf([&] { registry.RegDelete(path); }) != 0);
  QVERIFY(QFileInfo(dir.filePath("e.desktop")).isDir());
}

QTEST_GUILESS_MAIN(tst_AutostartEntry)
#include "tst_autostartentry.moc"
