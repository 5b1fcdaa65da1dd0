// Prints what the image list's own work costs on a long list: the window's
// selection commands with every entry selected, and the steps of /rotate
// without the picture: reading the settings file and the last wallpaper,
// finding the last wallpaper's line in the list file and the entry after it,
// writing the last wallpaper.
//
//   bench_selection FOLDER COUNT
//
// FOLDER holds the files 1.jpg to COUNT.jpg (scripts/bench.sh makes them).
// The settings go to a temporary configuration folder.

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <cstdio>
#include <functional>

#include "BenchList.h"
#include "imagelist/ZVRImageList.h"
#include "kit/StringList.h"
#include "platform/Platform.h"
#include "startup/VersionText.h"
#include "startup/modMain.h"

namespace {

double Milliseconds(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const BenchList bench(argc, argv, 1);
  const QStringList& names = bench.Names();
  const int count = bench.Count();

  // /rotate's steps, the last wallpaper being the last entry but one.
  const QString lastKey = QLatin1String(modMain::kImageListLastSelectedKey);
  CurrentPlatform().settings->WriteList(
      modMain::ApplicationTitle(), QLatin1String(modMain::kSettingsSection),
      QLatin1String(modMain::kImageListContentKey), StringList(names));
  modMain::WriteSetting(lastKey, names.value(count - 2, names.last()));
  QString last, next;
  const double read = Milliseconds([&] { last = modMain::ReadSetting(lastKey); });
  const double walk = Milliseconds([&] { next = modMain::NextStoredFileName(last); });
  const double write = Milliseconds([&] { modMain::WriteSetting(lastKey, next); });
  if (next != names.last()) {
    std::fprintf(stderr, "bench_selection: the walk found %s\n", qPrintable(next));
    return 1;
  }

  ZVRImageList list;
  list.Add(names);
  if (list.Count() != count) {
    std::fprintf(stderr, "bench_selection: only %d of the files exist\n", list.Count());
    return 1;
  }
  QList<int> all;
  for (int i = 1; i <= count; ++i) all.append(i);
  const double up = Milliseconds([&] { list.MoveSelectedUp(all); });
  const double down = Milliseconds([&] { list.MoveSelectedDown(all); });
  const double removed = Milliseconds([&] { list.RemoveSelected(all); });
  std::printf("%8.1f %8.1f %8.1f %8.1f %8.1f %8.1f\n", up, down, removed, read, walk, write);
  return list.Count() == 0 ? 0 : 1;
}
