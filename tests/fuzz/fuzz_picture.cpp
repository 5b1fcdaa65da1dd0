// Whatever bytes a picture file holds, the display box draws a picture or
// the error line: never a crash, a hang or memory without bound. The first
// byte picks the file's extension and the view mode; the rest is the file,
// worked out as the box's decoding thread does (MakeBoxContent) and painted
// as the box paints it. The work runs on this thread, so that the coverage
// of each input never depends on the timing of another thread.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "display/DisplayBox.h"
#include "display/Rendering.h"

namespace {

// Qt's own readers and those of its image format plugins, unless the target
// that includes this file names others.
#ifndef ZV_FUZZ_EXTENSIONS
#define ZV_FUZZ_EXTENSIONS "bmp", "png", "jpg", "gif", "ico", "webp", "tif", "tga"
#endif
constexpr const char* kExtensions[] = {ZV_FUZZ_EXTENSIONS};
constexpr int kExtensionCount = int(std::size(kExtensions));
constexpr int kViewModes = 4;  // the modes that draw the picture

struct PictureDisplay {
  PictureDisplay() : box(nullptr) {
    box.resize(278, 175);  // the box's size in the window
  }
  DisplayBox box;
  int viewMode = 0;
  QString fileName;
};

PictureDisplay& TheDisplay() {
  static int argc = 1;
  static char name[] = "fuzz_picture";
  static char* argv[] = {name, nullptr};
  // Both live as long as the process: destroyed at exit, after Qt's own
  // caches went, the application would leave pieces of its font engines.
  static const QApplication* application = new QApplication(argc, argv);
  static PictureDisplay* display = new PictureDisplay;
  Q_UNUSED(application);
  return *display;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  PictureDisplay& display = TheDisplay();
  display.fileName = QDir::current().absoluteFilePath(QStringLiteral("picture.") +
                                                      kExtensions[data[0] % kExtensionCount]);
  display.viewMode = (data[0] / kExtensionCount) % kViewModes;
  QFile file(display.fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
  file.write(reinterpret_cast<const char*>(data) + 1, static_cast<qint64>(size - 1));
  file.close();
  const std::atomic<bool> notCancelled{false};
  const BoxContent content =
      MakeBoxContent(RequestFor(display.box, display.fileName, display.viewMode), notCancelled);
  QImage drawn(display.box.InnerSize(), QImage::Format_RGB32);
  QPainter painter(&drawn);
  PaintBoxContent(painter, display.box, content);
  painter.end();
  if (content.kind == BoxContent::Kind::kPicture && content.picture.isNull()) abort();
  return 0;
}
