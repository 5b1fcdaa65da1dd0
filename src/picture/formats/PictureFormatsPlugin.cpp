#include "picture/formats/PictureFormatsPlugin.h"

#include "picture/formats/HeifHandler.h"
#include "picture/formats/JxlHandler.h"

namespace {

bool IsHeifName(const QByteArray& format) {
  return format == "heic" || format == "heif" || format == "avif";
}

}  // namespace

QImageIOPlugin::Capabilities PictureFormatsPlugin::capabilities(QIODevice* device,
                                                                const QByteArray& format) const {
  if (device == nullptr) {
    return IsHeifName(format) || format == "jxl" ? CanRead : Capabilities();
  }
  if (!device->isOpen() || !device->isReadable()) return {};
  return HeifHandler::CanRead(device) || JxlHandler::CanRead(device) ? CanRead : Capabilities();
}

QImageIOHandler* PictureFormatsPlugin::create(QIODevice* device, const QByteArray& format) const {
  QImageIOHandler* handler = nullptr;
  if (device != nullptr && JxlHandler::CanRead(device)) {
    handler = new JxlHandler;
  } else if (device != nullptr && HeifHandler::CanRead(device)) {
    handler = new HeifHandler;
  } else if (format == "jxl") {
    handler = new JxlHandler;
  } else {
    handler = new HeifHandler;
  }
  handler->setDevice(device);
  handler->setFormat(format);
  return handler;
}
