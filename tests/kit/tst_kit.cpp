#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "kit/FileDialog.h"
#include "kit/KitGlobal.h"
#include "kit/ProgramError.h"
#include "kit/StringList.h"
#include "support/TestSupport.h"

namespace {

const QString kNul(QChar(u'\0'));
const QString kFileTypes = QStringLiteral("Bitmaps (*.bmp; *.dib)|*.bmp; *.dib|Alle (*.*)|*.*");

// Configured as the stored image list ("; "), as the dialog's answer (NUL,
// no quotes) or by default as the command line (" ").
StringList ListOf(const QString& separator) {
  StringList list;
  list.SetSeparator(separator);
  if (separator == kNul) list.SetQuoteBegin(QString());
  return list;
}

QStringList Items(const StringList& list) {
  QStringList items;
  for (int i = 1; i <= list.Count(); ++i) items.append(list.Item(i));
  return items;
}

}  // namespace

class tst_Kit : public QObject {
  Q_OBJECT

 private slots:
  void splitting_data();
  void splitting();
  void ensureTrailingMinAndTrace();
  void answeredDialog();
  void realDialogAcceptsTypedNamesAndCancels();
};

void tst_Kit::splitting_data() {
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QStringList>("items");
  const auto row = [](const char* tag, const QString& separator, const QString& text,
                      const QStringList& items) {
    QTest::newRow(tag) << separator << text << items;
  };
  row("quoted and unquoted", "; ", "x; \"/a; b\"; c", {"x", "/a; b", "c"});
  row("unterminated quote runs to the end", "; ", "\"a; b", {"a; b"});
  row("text after a closing quote joins the item", "; ", "\"a\"b; c", {"ab", "c"});
  row("separators only", "; ", "; ; ", {});
  row("arguments: quoted part inside", " ", "ab\"c d\"e", {"abc de"});
  row("NUL: every NUL splits, quotes are plain", kNul, "/p" + kNul + "a \"b\"" + kNul + kNul + "c",
      {"/p", "a \"b\"", "", "c"});
  row("NUL: none is one item", kNul, "/p/one; \"f\".bmp", {"/p/one; \"f\".bmp"});
}

void tst_Kit::splitting() {
  QFETCH(QString, separator);
  QFETCH(QString, text);
  QFETCH(QStringList, items);
  StringList own = ListOf(separator);
  StringList& list = separator == " " ? KitGlobal().Arguments() : own;
  list.SetText(text);
  QCOMPARE(Items(list), items);
  if (separator == kNul) QCOMPARE(list.Text(), text);
  QVERIFY_THROWS_EXCEPTION(ProgramError, list.Item(items.size() + 1));
  QVERIFY_THROWS_EXCEPTION(ProgramError, list.Item(0));
  QVERIFY_THROWS_EXCEPTION(ProgramError, list.Add("x", items.size() + 2));
}

// Trace lines go to the recorder while one lives, else to the file
// ZVISTARO_TRACE names, else nowhere.
void tst_Kit::ensureTrailingMinAndTrace() {
  QCOMPARE(KitGlobal().EnsureTrailing("", "/"), "/");
  QCOMPARE(KitGlobal().EnsureTrailing("C:/pics/\\/", "\\"), "C:/pics\\");
  QCOMPARE(KitGlobal().Min({2.0, -1.5, 0.0}), -1.5);
  QVERIFY_THROWS_EXCEPTION(ProgramError, KitGlobal().Min({}));
  QTemporaryDir dir;
  qputenv("ZVISTARO_TRACE", QFile::encodeName(dir.filePath("trace.log")));
  KitGlobal().Trace(QStringLiteral("first"), 0);
  {
    TraceRecorder recorder;
    KitGlobal().Trace(QStringLiteral("to the sink"), 0);
    QCOMPARE(recorder.Lines(), QStringList{"to the sink"});
  }
  KitGlobal().Trace(QString::fromUtf8("zweite – ü"), 0);
  qunsetenv("ZVISTARO_TRACE");
  KitGlobal().Trace(QStringLiteral("nowhere"), 0);
  QFile file(dir.filePath("trace.log"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(file.readAll()), QString::fromUtf8("first\nzweite – ü\n"));
}

// How the dialog is set up, and the text and start folder an answer gives
// for files in folders whose names begin alike.
void tst_Kit::answeredDialog() {
  const QStringList files{"/p/a/b", "/p/ab/a"};
  QTemporaryDir dir;
  QStringList seen;
  FileDialog::SetAnswerer([&](const QFileDialog& dialog) {
    seen = dialog.nameFilters() << dialog.directory().absolutePath();
    const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    for (int i = 0; types && i < types->count(); ++i) seen.append(types->itemText(i));
    if (dialog.fileMode() != QFileDialog::ExistingFiles ||
        dialog.acceptMode() != QFileDialog::AcceptOpen) {
      seen.clear();
    }
    return FileDialog::Answer{true, files, "/ended"};
  });
  FileDialog dialog({.noEffect3 = -1, .fileTypes = kFileTypes, .startFolder = dir.path()});
  dialog.Show();
  FileDialog::SetAnswerer({});
  QCOMPARE(seen, (QStringList{"Bitmaps (*.bmp; *.dib) (*.bmp *.dib)", "Alle (*.*) (*)", dir.path(),
                              "Bitmaps (*.bmp; *.dib)", "Alle (*.*)"}));
  QCOMPARE(dialog.FileNames(), "/p" + kNul + "a/b" + kNul + "ab/a");
  QCOMPARE(dialog.StartFolder(), "/ended");
}

// Drives Qt's own dialog as a user would: moves to another folder, types two
// names and accepts; then cancels a second one.
void tst_Kit::realDialogAcceptsTypedNamesAndCancels() {
  QTemporaryDir start, other;
  MakeFile(other.path(), "a.bmp");
  MakeFile(other.path(), "b");
  QTimer::singleShot(0, [&other] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    dialog->setDirectory(other.path());
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    name->setText("\"a.bmp\" \"b\"");
    QTest::keyClick(name, Qt::Key_Return);
  });
  FileDialog chosen({.fileTypes = kFileTypes, .startFolder = start.path()});
  chosen.Show();
  QCOMPARE(chosen.FileNames().split(kNul), (QStringList{other.path(), "a.bmp", "b"}));
  QCOMPARE(chosen.StartFolder(), other.path());
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  FileDialog cancelled({.fileTypes = kFileTypes, .startFolder = start.path()});
  cancelled.Show();
  QVERIFY(cancelled.Cancelled());
  QCOMPARE(cancelled.StartFolder(), start.path());
}

QTEST_MAIN(tst_Kit)
#include "tst_kit.moc"
