#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "errors/Errors.h"
#include "kit/FileDialog.h"
#include "kit/KitGlobal.h"
#include "kit/StringList.h"
#include "support/TestSupport.h"

static const QString kNul(QChar(u'\0'));

class tst_Kit : public QObject {
  Q_OBJECT

 private slots:
  // Configured as the stored image list ("; "), as the dialog's answer (NUL,
  // no quotes) or as the command line (" ", the default).
  void splitting() {
    const std::tuple<QString, QString, QStringList> rows[] = {
        {"; ", "x; \"/a; b\"; c", {"x", "/a; b", "c"}},
        {"; ", "\"a; b", {"a; b"}},  // an unterminated quote runs to the end
        {"; ", "\"a\"b; c", {"ab", "c"}},
        {"; ", "; ; ", {}},
        {" ", "ab\"c d\"e", {"abc de"}},
        {kNul, "/p" + kNul + "a \"b\"" + kNul + kNul + "c", {"/p", "a \"b\"", "", "c"}},
        {kNul, "/p/one; \"f\".bmp", {"/p/one; \"f\".bmp"}}};
    for (const auto& [separator, text, items] : rows) {
      StringList own;
      own.SetSeparator(separator);
      if (separator == kNul) own.SetQuoteBegin(QString());
      StringList& list = separator == " " ? KitGlobal().Arguments() : own;
      list.SetText(text);
      QStringList got;
      for (int i = 1; i <= list.Count(); ++i) got.append(list.Item(i));
      QCOMPARE(got, items);
      if (separator == kNul) QCOMPARE(list.Text(), text);
      QVERIFY_THROWS_EXCEPTION(ProgramError, list.Item(items.size() + 1));
      QVERIFY_THROWS_EXCEPTION(ProgramError, list.Item(0));
      QVERIFY_THROWS_EXCEPTION(ProgramError, list.Add("x", items.size() + 2));
      list.Add("x", items.size() + 1);
      QCOMPARE(list.Item(items.size() + 1), "x");
    }
  }

  // Trace lines go to the recorder while one lives, else to the file
  // ZVISTARO_TRACE names.
  void ensureTrailingMinAndTrace() {
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
    QFile file(dir.filePath("trace.log"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), QString::fromUtf8("first\nzweite – ü\n"));
  }

  // An error names the project (and the raiser), has the description of its
  // number and is traced with both.
  void raiseError() {
    const QString notFound = "Description for error '%1' not found";
    const std::tuple<qint32, std::optional<QString>, QString> rows[] = {
        {modMain::kErrInvalidParameter, "", "Invalid Parameter"},
        {modMain::kErrFolderNotFound, "ZVRImageList", "Folder not found"},
        {modMain::kErrBase + 3, {}, notFound.arg(modMain::kErrBase + 3)},
        {modMain::kErrBase - 1, {}, notFound.arg(modMain::kErrBase - 1)},
        {7, "%1", notFound.arg(7)},
        {2147483647, {}, notFound.arg(2147483647)}};
    for (const auto& [number, source, description] : rows) {
      const QString suffix = source ? "." + *source : QString();
      TraceRecorder trace;
      QStringList got;
      try {
        modMain::RaiseError(number, source);
      } catch (const ProgramError& error) {
        got = {QString::number(error.Number()), error.Source(), error.Description()};
      }
      QCOMPARE(
          got + trace.Lines(),
          (QStringList{QString::number(number), "ZVistaro02" + suffix, description,
                       QString("* Error (Number:=%1, Source:='%2')").arg(number).arg(suffix),
                       QString("* ErrDescr(Number:=%1) [= %2]").arg(number).arg(description)}));
    }
  }

  // The dialog as set up, driven as a user would: moves to another folder,
  // types two names and accepts; then cancelled; then answered with files
  // of folders whose names begin alike.
  void fileDialog() {
    QTemporaryDir start, other;
    MakeFile(other.path(), "a.bmp");
    MakeFile(other.path(), "b");
    QStringList seen;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      seen = dialog->nameFilters() << dialog->directory().absolutePath();
      if (dialog->fileMode() == QFileDialog::ExistingFiles) seen.append("existing files");
      const auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
      for (int i = 0; types && i < types->count(); ++i) seen.append(types->itemText(i));
      dialog->setDirectory(other.path());
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      name->setText("\"a.bmp\" \"b\"");
      QTest::keyClick(name, Qt::Key_Return);
    });
    const QString types = "Bitmaps (*.bmp; *.dib)|*.bmp; *.dib|Alle (*.*)|*.*";
    FileDialog chosen({.noEffect3 = -1, .fileTypes = types, .startFolder = start.path()});
    chosen.Show();
    QCOMPARE(seen,
             (QStringList{"Bitmaps (*.bmp; *.dib) (*.bmp *.dib)", "Alle (*.*) (*)", start.path(),
                          "existing files", "Bitmaps (*.bmp; *.dib)", "Alle (*.*)"}));
    QCOMPARE(chosen.FileNames().split(kNul), (QStringList{other.path(), "a.bmp", "b"}));
    QCOMPARE(chosen.StartFolder(), other.path());
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    FileDialog cancelled({.fileTypes = types, .startFolder = start.path()});
    cancelled.Show();
    QVERIFY(cancelled.Cancelled());
    QCOMPARE(cancelled.StartFolder(), start.path());
    FileDialog::SetAnswerer([](const QFileDialog&) {
      return FileDialog::Answer{true, {"/p/a/b", "/p/ab/a"}, "/ended"};
    });
    cancelled.Show();
    FileDialog::SetAnswerer({});
    QCOMPARE(cancelled.FileNames(), "/p" + kNul + "a/b" + kNul + "ab/a");
  }
};

QTEST_MAIN(tst_Kit)
#include "tst_kit.moc"
