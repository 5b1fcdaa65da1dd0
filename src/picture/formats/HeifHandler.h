#pragma once

#include <QImageIOHandler>

#include <memory>

struct heif_context;
struct heif_image_handle;

// Reads the primary picture of a HEIF file (HEIC photos, AVIF) with libheif.
// Its size is the container's, upright (libheif turns the picture as the
// container says), so the cost check reads it without decoding a pixel.
class HeifHandler : public QImageIOHandler {
 public:
  HeifHandler();
  ~HeifHandler() override;

  bool canRead() const override;
  bool read(QImage* image) override;
  QVariant option(ImageOption option) const override;
  bool supportsOption(ImageOption option) const override;

  // Whether the device's first bytes name a HEIF brand this reads.
  static bool CanRead(QIODevice* device);

 private:
  // Parses the container up to the primary picture; false when it is none.
  bool Open() const;

  struct State;
  std::unique_ptr<State> state_;
};
