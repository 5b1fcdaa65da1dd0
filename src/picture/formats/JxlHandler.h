#pragma once

#include <QImageIOHandler>
#include <QSize>

// Reads a JPEG XL picture with libjxl, turned upright as its header says.
// Its size comes from the header's first bytes, before any pixel is decoded.
class JxlHandler : public QImageIOHandler {
 public:
  bool canRead() const override;
  bool read(QImage* image) override;
  QVariant option(ImageOption option) const override;
  bool supportsOption(ImageOption option) const override;

  // Whether the device's first bytes are a JPEG XL signature.
  static bool CanRead(QIODevice* device);

 private:
  // Reads the header up to the basic information; false when it is none.
  bool ReadHeader() const;

  mutable bool headerRead_ = false;
  mutable QSize size_;
  mutable bool alpha_ = false;
};
