// Prints what the window costs with a long stored list, each step timed from
// the user's action until the window is idle again:
//  - start: the window shown, for COUNT entries and for an empty list; the
//    list's files are looked up while the window already runs, so also the
//    time from the start until every entry is in the list box;
//  - close: the list and the current entry stored, for both;
//  - the peak resident memory of a process that only opens the window on
//    the long list, waits until it is filled and closes it (this program
//    run again with --peak, so that the benchmark's own copy of the names
//    does not count);
//  - adding 20,000 files by pattern with "&Add" to COUNT entries;
//  - "+", "-" and "&Remove" with every entry selected.
//
//   bench_window FOLDER COUNT
//
// FOLDER holds the files 1.jpg to COUNT.jpg (scripts/bench.sh makes them).
// The settings go to a temporary configuration folder.

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "BenchList.h"
#include "imagelist/ZVRImageList.h"
#include "kit/StringList.h"
#include "platform/Platform.h"
#include "startup/ListLoading.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"
#include "window/frmMain.h"

namespace {

// Runs the event loop until every event the work caused is handled.
void WaitUntilIdle() {
  QEventLoop loop;
  QTimer::singleShot(0, &loop, &QEventLoop::quit);
  loop.exec();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

double Milliseconds(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  WaitUntilIdle();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

void StoreList(const QStringList& names) {
  CurrentPlatform().settings->WriteList(
      modMain::ApplicationTitle(), QLatin1String(modMain::kSettingsSection),
      QLatin1String(modMain::kImageListContentKey), StringList(names));
  modMain::WriteSetting(QLatin1String(modMain::kImageListLastSelectedKey),
                        names.value(names.size() - 2));
}

template <typename T>
T* Control(QWidget* window, const char* name) {
  T* control = window->findChild<T*>(QLatin1String(name));
  if (control == nullptr) {
    std::fprintf(stderr, "bench_window: no control %s\n", name);
    std::exit(1);
  }
  return control;
}

struct OpenClose {
  double open;
  double filled;
  double close;
};

// Start-up in window mode, then closing, as main() and the user do them.
OpenClose OpenAndClose(const std::function<void(QWidget*)>& whileOpen = nullptr) {
  modMain::SharedImageList()->Clear();
  QPointer<frmMain> window;
  OpenClose times{};
  QElapsedTimer started;
  started.start();
  times.open = Milliseconds([&window] {
    modMain::BeginLoadingImageListSetting();
    window = modMain::SharedMainForm().get();
    window->show();
  });
  while (!modMain::ImageListLoading()->Finished()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  times.filled = static_cast<double>(started.nsecsElapsed()) / 1e6;
  if (whileOpen) whileOpen(window);
  times.close = Milliseconds([&window] { window->close(); });
  return times;
}

void SelectRows(QListView* list, int first, int last) {
  const QModelIndex top = list->model()->index(first, 0);
  const QModelIndex bottom = list->model()->index(last, 0);
  list->selectionModel()->select(QItemSelection(top, bottom), QItemSelectionModel::ClearAndSelect);
}

// The peak resident memory of this program since it started. It is read
// from /proc: getrusage() also counts the memory of the process this one
// was forked from, as it stood when it started this program.
long PeakMebibytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc == 2 && qstrcmp(argv[1], "--peak") == 0) {
    OpenAndClose();
    std::printf("%ld\n", PeakMebibytes());
    return 0;
  }
  const BenchList bench(argc, argv, 2);
  const QStringList& names = bench.Names();
  const int count = bench.Count();

  // 20,000 files for the pattern, made before anything is measured.
  const QTemporaryDir added;
  constexpr int kAdded = 20000;
  for (int i = 0; i < kAdded; ++i) {
    QFile file(added.filePath(QStringLiteral("%1.png").arg(i)));
    if (!file.open(QIODevice::WriteOnly)) return 1;
  }

  StoreList({});
  OpenAndClose();  // the first window pays for loading fonts and styles
  const OpenClose empty = OpenAndClose();
  StoreList(names);
  int loaded = 0;
  const OpenClose full = OpenAndClose([&loaded](QWidget* window) {
    loaded = Control<QListView>(window, "lstImageList")->model()->rowCount();
  });
  // The settings folder is in the environment the run inherits.
  QProcess peakRun;
  peakRun.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak")});
  const long peak = peakRun.waitForFinished(-1) && peakRun.exitCode() == 0
                        ? peakRun.readAllStandardOutput().trimmed().toLong()
                        : -1;
  if (loaded != count) {
    std::fprintf(stderr, "bench_window: %d of %d entries loaded\n", loaded, count);
    return 1;
  }

  double add = 0, up = 0, down = 0, remove = 0;
  int left = 0;
  OpenAndClose([&](QWidget* window) {
    auto* list = Control<QListView>(window, "lstImageList");
    Control<QLineEdit>(window, "txtImageListAdd")->setText(added.filePath(QStringLiteral("*.png")));
    add = Milliseconds([window] { Control<QPushButton>(window, "cmdImageListAdd")->click(); });
    const auto all = [window, list](const char* button) {
      SelectRows(list, 0, list->model()->rowCount() - 1);
      return Milliseconds([window, button] { Control<QPushButton>(window, button)->click(); });
    };
    up = all("cmdImageListUp");
    down = all("cmdImageListDown");
    remove = all("cmdImageListRemove");
    left = list->model()->rowCount();
  });
  if (left != 0) {
    std::fprintf(stderr, "bench_window: %d entries left after the commands\n", left);
    return 1;
  }
  std::printf("%8.1f %8.1f %8.1f %8.1f %8.1f %6ld %8.1f %8.1f %8.1f %8.1f\n", full.open, empty.open,
              full.filled, full.close, empty.close, peak, add, up, down, remove);
  return 0;
}
