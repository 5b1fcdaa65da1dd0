// Sets the wallpaper named by its one argument through the back-end that the
// environment chooses, exactly as the program's own start-up builds it.
// Exit status 0 when accepted, 3 when refused; refusal reasons on stderr.

#include <QCoreApplication>

#include <cstdio>

#include "kit/KitGlobal.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 2) return 2;
  KitGlobal().SetTraceSink(
      [](const QString& line) { std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData()); });
  return CreateLinuxWallpaper()->Set(QString::fromLocal8Bit(argv[1])) ? 0 : 3;
}
