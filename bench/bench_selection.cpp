// Prints what the image list's own work costs on a long list: splitting the
// stored list text (quoted as written, and unquoted as a hand-edited file may
// hold it) and the window's selection commands with every entry selected.
//
//   bench_selection FOLDER COUNT
//
// FOLDER holds the files 1.jpg to COUNT.jpg (scripts/bench.sh makes them).

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "imagelist/ZVRImageList.h"
#include "kit/StringList.h"

namespace {

double Milliseconds(const std::function<void()>& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

StringList StoredListFormat() {
  StringList list;
  list.SetSeparator(QStringLiteral("; "));
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[2]) < 1) {
    std::fprintf(stderr, "usage: bench_selection FOLDER COUNT\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const int count = std::atoi(argv[2]);
  QStringList names;
  for (int i = 1; i <= count; ++i) names.append(folder + QStringLiteral("/%1.jpg").arg(i));

  StringList writer = StoredListFormat();
  for (const QString& name : names) writer.Add(name);
  const QString quoted = writer.Text();
  const QString unquoted = names.join(QStringLiteral("; "));
  StringList reader = StoredListFormat();
  const double splitQuoted = Milliseconds([&] { reader.SetText(quoted); });
  const double splitUnquoted = Milliseconds([&] { reader.SetText(unquoted); });
  if (reader.Count() != count) {
    std::fprintf(stderr, "bench_selection: the unquoted text split into %d names\n",
                 reader.Count());
    return 1;
  }

  ZVRImageList list;
  list.FileNames(&reader);
  if (list.Count() != count) {
    std::fprintf(stderr, "bench_selection: only %d of the files exist\n", list.Count());
    return 1;
  }
  QList<int> all;
  for (int i = 1; i <= count; ++i) all.append(i);
  const double up = Milliseconds([&] { list.MoveSelectedUp(all); });
  const double down = Milliseconds([&] { list.MoveSelectedDown(all); });
  const double removed = Milliseconds([&] { list.RemoveSelected(all); });
  std::printf("%8.1f %8.1f %8.1f %8.1f %8.1f\n", splitQuoted, splitUnquoted, up, down, removed);
  return list.Count() == 0 ? 0 : 1;
}
