#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "kit/FileDialog.h"
#include "support/TestSupport.h"

namespace {

const QString kFileTypes =
    QStringLiteral("Bitmap-Dateien (*.bmp; *.dib)|*.bmp; *.dib|Alle Dateien (*.*)|*.*");

QString Nul() { return QString(QChar(u'\0')); }

// Answers every dialog with the given answer while it lives and keeps what
// the dialogs were set up with.
class Answering {
 public:
  explicit Answering(FileDialog::Answer answer) {
    FileDialog::SetAnswerer([this, answer](const QFileDialog& dialog) {
      folders.append(dialog.directory().absolutePath());
      const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
      for (int i = 0; types && i < types->count(); ++i) labels.append(types->itemText(i));
      nameFilters = dialog.nameFilters();
      severalExisting = dialog.fileMode() == QFileDialog::ExistingFiles &&
                        dialog.acceptMode() == QFileDialog::AcceptOpen;
      return answer;
    });
  }
  ~Answering() { FileDialog::SetAnswerer({}); }
  QStringList folders;
  QStringList labels;
  QStringList nameFilters;
  bool severalExisting = false;
};

}  // namespace

class tst_FileDialog : public QObject {
  Q_OBJECT

 private slots:
  void setsUpAnOpenDialogWithLabelsKept();
  void chosenFiles_data();
  void chosenFiles();
  void realDialogAcceptsTypedNamesAndCancels();
};

void tst_FileDialog::setsUpAnOpenDialogWithLabelsKept() {
  QTemporaryDir dir;
  Answering answering({false, {}, {}});
  FileDialog dialog({.noEffect3 = -1, .fileTypes = kFileTypes, .startFolder = dir.path()});
  dialog.Show();
  QCOMPARE(answering.folders, QStringList{dir.path()});
  QVERIFY(answering.severalExisting);
  QCOMPARE(answering.labels, (QStringList{"Bitmap-Dateien (*.bmp; *.dib)", "Alle Dateien (*.*)"}));
  QCOMPARE(answering.nameFilters,
           (QStringList{"Bitmap-Dateien (*.bmp; *.dib) (*.bmp *.dib)", "Alle Dateien (*.*) (*)"}));
}

void tst_FileDialog::chosenFiles_data() {
  QTest::addColumn<QStringList>("files");
  QTest::addColumn<QString>("text");
  QTest::newRow("one file in the root folder") << QStringList{"/a.bmp"} << "/a.bmp";
  QTest::newRow("root folder") << QStringList{"/a.bmp", "/b.bmp"}
                               << "/" + Nul() + "a.bmp" + Nul() + "b.bmp";
  QTest::newRow("names of several folders stay whole paths below their common folder")
      << QStringList{"/pics/x/a.bmp", "/pics/y/b.bmp"}
      << "/pics" + Nul() + "x/a.bmp" + Nul() + "y/b.bmp";
  QTest::newRow("a folder whose name begins like another")
      << QStringList{"/pics/ab/a.bmp", "/pics/a/b.bmp"}
      << "/pics" + Nul() + "ab/a.bmp" + Nul() + "a/b.bmp";
}

void tst_FileDialog::chosenFiles() {
  QFETCH(QStringList, files);
  QFETCH(QString, text);
  Answering answering({true, files, "/ended/here"});
  FileDialog dialog({.fileTypes = kFileTypes, .startFolder = "/"});
  dialog.Show();
  QVERIFY(!dialog.Cancelled());
  QCOMPARE(dialog.FileNames(), text);
  QCOMPARE(dialog.StartFolder(), QStringLiteral("/ended/here"));
}

// Drives Qt's own dialog as a user would: moves to another folder, types two
// names and accepts; then cancels a second one.
void tst_FileDialog::realDialogAcceptsTypedNamesAndCancels() {
  QTemporaryDir start, other;
  MakeFile(other.path(), "a.bmp");
  MakeFile(other.path(), "b");
  QTimer::singleShot(0, [&other] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    dialog->setDirectory(other.path());
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    name->setText("\"a.bmp\" \"b\"");
    QTest::keyClick(name, Qt::Key_Return);
  });
  FileDialog chosen({.fileTypes = kFileTypes, .startFolder = start.path()});
  chosen.Show();
  QVERIFY(!chosen.Cancelled());
  QCOMPARE(chosen.FileNames().split(QChar(u'\0')), (QStringList{other.path(), "a.bmp", "b"}));
  QCOMPARE(chosen.StartFolder(), other.path());

  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  FileDialog cancelled({.fileTypes = kFileTypes, .startFolder = start.path()});
  cancelled.Show();
  QVERIFY(cancelled.Cancelled());
  QCOMPARE(cancelled.StartFolder(), start.path());
}

QTEST_MAIN(tst_FileDialog)
#include "tst_filedialog.moc"
