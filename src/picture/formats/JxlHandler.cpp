#include "picture/formats/JxlHandler.h"

#include <QIODevice>
#include <QImage>
#include <QVariant>

#include <jxl/decode.h>

#include <memory>

namespace {

// Enough for the basic information of any ordinary file; a header that needs
// more is read from the whole file.
constexpr qint64 kHeaderBytes = 64 * 1024;

struct DecoderDestroy {
  void operator()(JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};
using Decoder = std::unique_ptr<JxlDecoder, DecoderDestroy>;

Decoder NewDecoder(const QByteArray& bytes, int events) {
  Decoder decoder(JxlDecoderCreate(nullptr));
  if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), events) != JXL_DEC_SUCCESS ||
      JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(bytes.constData()),
                         size_t(bytes.size())) != JXL_DEC_SUCCESS) {
    return nullptr;
  }
  JxlDecoderCloseInput(decoder.get());
  return decoder;
}

// The size the decoder hands out: turned upright, as it turns the pixels.
QSize UprightSize(const JxlBasicInfo& info) {
  const QSize stored(int(info.xsize), int(info.ysize));
  return info.orientation > JXL_ORIENT_ROTATE_180 ? stored.transposed() : stored;
}

// The basic information of the bytes; false when they hold none.
bool BasicInfo(const QByteArray& bytes, JxlBasicInfo* info) {
  const Decoder decoder = NewDecoder(bytes, JXL_DEC_BASIC_INFO);
  return decoder && JxlDecoderProcessInput(decoder.get()) == JXL_DEC_BASIC_INFO &&
         JxlDecoderGetBasicInfo(decoder.get(), info) == JXL_DEC_SUCCESS && info->xsize > 0 &&
         info->ysize > 0 && info->xsize <= 0x7fffffff && info->ysize <= 0x7fffffff;
}

// The whole of the device's content from its start, leaving it where it was.
QByteArray Content(QIODevice* device, qint64 most) {
  const qint64 was = device->pos();
  if (!device->seek(0)) return {};
  const QByteArray bytes = device->read(most);
  device->seek(was);
  return bytes;
}

}  // namespace

bool JxlHandler::CanRead(QIODevice* device) {
  const QByteArray start = device->peek(12);
  const JxlSignature signature =
      JxlSignatureCheck(reinterpret_cast<const uint8_t*>(start.constData()), size_t(start.size()));
  return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

bool JxlHandler::canRead() const {
  if (device() == nullptr || !CanRead(device())) return false;
  const_cast<JxlHandler*>(this)->setFormat("jxl");
  return true;
}

bool JxlHandler::ReadHeader() const {
  if (headerRead_) return size_.isValid();
  headerRead_ = true;
  if (device() == nullptr) return false;
  JxlBasicInfo info{};
  if (!BasicInfo(Content(device(), kHeaderBytes), &info) &&
      !BasicInfo(Content(device(), device()->size()), &info)) {
    return false;
  }
  size_ = UprightSize(info);
  alpha_ = info.alpha_bits > 0;
  return size_.isValid();
}

bool JxlHandler::read(QImage* image) {
  if (!ReadHeader()) return false;
  const QByteArray bytes = Content(device(), device()->size());
  const Decoder decoder = NewDecoder(bytes, JXL_DEC_FULL_IMAGE);
  if (!decoder) return false;
  QImage picture(size_, alpha_ ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
  if (picture.isNull()) return false;
  const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  for (;;) {
    switch (JxlDecoderProcessInput(decoder.get())) {
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        size_t needed = 0;
        if (JxlDecoderImageOutBufferSize(decoder.get(), &format, &needed) != JXL_DEC_SUCCESS ||
            needed != size_t(picture.sizeInBytes()) ||
            JxlDecoderSetImageOutBuffer(decoder.get(), &format, picture.bits(), needed) !=
                JXL_DEC_SUCCESS) {
          return false;
        }
        break;
      }
      case JXL_DEC_FULL_IMAGE:
        *image = picture;
        return true;
      default:
        // An error, or input that ends before the picture does.
        return false;
    }
  }
}

QVariant JxlHandler::option(ImageOption option) const {
  if (option == Size && ReadHeader()) return size_;
  if (option == ImageFormat && ReadHeader()) {
    return alpha_ ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888;
  }
  return {};
}

bool JxlHandler::supportsOption(ImageOption option) const {
  return option == Size || option == ImageFormat;
}
