#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/linux/IniSettingsStore.h"

namespace {

const QString kApplication = QStringLiteral("Zorvane Vistaro 0.2");

}  // namespace

class tst_SettingsWrites : public QObject {
  Q_OBJECT

 private slots:
  void replacedFileKeepsLinkAndPermissions();
};

// The new file takes the old one's place the way the user set it up: a
// link to a file kept elsewhere stays a link, and the file keeps its
// permissions.
void tst_SettingsWrites::replacedFileKeepsLinkAndPermissions() {
  QTemporaryDir dir;
  QVERIFY(QDir(dir.path()).mkpath("config") && QDir(dir.path()).mkpath("dotfiles"));
  const QString kept = dir.filePath("dotfiles/settings.ini");
  {
    QFile file(kept);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Main]\nOther=kept\n");
  }
  QVERIFY(QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner));
  const QFile::Permissions permissions = QFile::permissions(kept);
  IniSettingsStore store(dir.filePath("config"));
  QVERIFY(QFile::link(kept, store.FilePath(kApplication)));

  store.Write(kApplication, "Main", "ImageListLastSelected", "/p/a.png");
  QVERIFY(QFileInfo(store.FilePath(kApplication)).isSymLink());
  QCOMPARE(QFile::permissions(kept), permissions);
  QCOMPARE(store.Read(kApplication, "Main", "ImageListLastSelected"), "/p/a.png");
  QCOMPARE(store.Read(kApplication, "Main", "Other"), "kept");
  QCOMPARE(QDir(dir.filePath("dotfiles")).entryList(QDir::Files), QStringList{"settings.ini"});
}

QTEST_GUILESS_MAIN(tst_SettingsWrites)
#include "tst_settingswrites.moc"
