#include "picture/formats/HeifHandler.h"

#include <QIODevice>
#include <QImage>
#include <QVariant>

#include <libheif/heif.h>

#include <cstring>

namespace {

// The first bytes that tell a HEIF file: its "ftyp" box and brands.
constexpr int kSignatureBytes = 64;

struct ContextFree {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
  void operator()(heif_image* image) const { heif_image_release(image); }
};

// libheif reads the container through the device, so that it reads only the
// boxes it needs, never the whole file.
int64_t Position(void* device) { return static_cast<QIODevice*>(device)->pos(); }

int Read(void* data, size_t size, void* device) {
  return static_cast<QIODevice*>(device)->read(static_cast<char*>(data), qint64(size)) ==
                 qint64(size)
             ? 0
             : 1;
}

int Seek(int64_t position, void* device) {
  return static_cast<QIODevice*>(device)->seek(position) ? 0 : 1;
}

heif_reader_grow_status WaitForSize(int64_t size, void* device) {
  return size > static_cast<QIODevice*>(device)->size() ? heif_reader_grow_status_size_beyond_eof
                                                        : heif_reader_grow_status_size_reached;
}

const heif_reader kDeviceReader = {1, Position, Read, Seek, WaitForSize};

}  // namespace

struct HeifHandler::State {
  bool opened = false;
  bool ok = false;
  std::unique_ptr<heif_context, ContextFree> context;
  std::unique_ptr<heif_image_handle, HandleRelease> primary;
};

HeifHandler::HeifHandler() : state_(std::make_unique<State>()) {}

HeifHandler::~HeifHandler() = default;

bool HeifHandler::CanRead(QIODevice* device) {
  const QByteArray start = device->peek(kSignatureBytes);
  const auto* bytes = reinterpret_cast<const uint8_t*>(start.constData());
  return start.size() >= 12 && start.mid(4, 4) == "ftyp" &&
         heif_check_filetype(bytes, int(start.size())) == heif_filetype_yes_supported;
}

bool HeifHandler::canRead() const {
  if (device() == nullptr || !CanRead(device())) return false;
  const QByteArray start = device()->peek(kSignatureBytes);
  const char* mime = heif_get_file_mime_type(reinterpret_cast<const uint8_t*>(start.constData()),
                                             int(start.size()));
  const_cast<HeifHandler*>(this)->setFormat(std::strcmp(mime, "image/avif") == 0 ? "avif" : "heif");
  return true;
}

bool HeifHandler::Open() const {
  if (state_->opened) return state_->ok;
  state_->opened = true;
  if (device() == nullptr || !CanRead(device())) return false;
  const qint64 was = device()->pos();
  state_->context.reset(heif_context_alloc());
  heif_image_handle* primary = nullptr;
  const bool parsed =
      heif_context_read_from_reader(state_->context.get(), &kDeviceReader, device(), nullptr)
              .code == heif_error_Ok &&
      heif_context_get_primary_image_handle(state_->context.get(), &primary).code == heif_error_Ok;
  state_->primary.reset(primary);
  device()->seek(was);
  state_->ok = parsed && primary != nullptr && heif_image_handle_get_width(primary) > 0 &&
               heif_image_handle_get_height(primary) > 0;
  return state_->ok;
}

bool HeifHandler::read(QImage* image) {
  if (!Open()) return false;
  heif_image_handle* primary = state_->primary.get();
  const bool alpha = heif_image_handle_has_alpha_channel(primary) != 0;
  heif_image* decoded = nullptr;
  const heif_error error = heif_decode_image(
      primary, &decoded, heif_colorspace_RGB,
      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
  const std::unique_ptr<heif_image, ImageRelease> owned(decoded);
  if (error.code != heif_error_Ok || decoded == nullptr) return false;
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
  const int width = heif_image_get_width(decoded, heif_channel_interleaved);
  const int height = heif_image_get_height(decoded, heif_channel_interleaved);
  if (plane == nullptr || width <= 0 || height <= 0) return false;
  // A copy: the plane belongs to libheif's picture, released here.
  *image =
      QImage(plane, width, height, stride, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
          .copy();
  return !image->isNull();
}

QVariant HeifHandler::option(ImageOption option) const {
  if (option == Size && Open()) {
    return QSize(heif_image_handle_get_width(state_->primary.get()),
                 heif_image_handle_get_height(state_->primary.get()));
  }
  if (option == ImageFormat && Open()) {
    return heif_image_handle_has_alpha_channel(state_->primary.get()) != 0 ? QImage::Format_RGBA8888
                                                                           : QImage::Format_RGB888;
  }
  return {};
}

bool HeifHandler::supportsOption(ImageOption option) const {
  return option == Size || option == ImageFormat;
}
