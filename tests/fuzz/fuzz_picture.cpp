// Whatever bytes a picture file holds, the display box draws a picture or
// the error line: never a crash, a hang or memory without bound. The first
// byte picks the file's extension and the view mode; the rest is the file,
// drawn through the box's own paint event as the window draws it.
#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "display/DisplayBox.h"
#include "display/Rendering.h"

namespace {

constexpr const char* kExtensions[] = {"bmp", "png", "jpg", "gif"};
constexpr int kViewModes = 4;  // the modes that draw the picture

struct PictureDisplay {
  PictureDisplay() : box(nullptr) {
    box.resize(278, 175);  // the box's size in the window
    QObject::connect(&box, &DisplayBox::Paint, [this](QPainter* painter) {
      RenderDisplay(*painter, box, state, [this](int) { return fileName; });
    });
  }
  DisplayBox box;
  DisplayState state{1, 0, true, 0};
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
  display.fileName =
      QDir::current().absoluteFilePath(QStringLiteral("picture.") + kExtensions[data[0] % 4]);
  display.state.viewMode = (data[0] / 4) % kViewModes;
  QFile file(display.fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) abort();
  file.write(reinterpret_cast<const char*>(data) + 1, static_cast<qint64>(size - 1));
  file.close();
  const QImage drawn = display.box.grab().toImage();
  if (drawn.size() != display.box.size()) abort();
  return 0;
}
