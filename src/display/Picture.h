#pragma once

#include <QImage>
#include <QImageIOHandler>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>

// A picture file whose header has been read: its size is known, its pixels
// are decoded only on request and only as far as they are shown, upright as
// its metadata says; sizes and rectangles are those of the upright picture.
// Failures are numbered errors: 53 "File not found" for a file that is
// missing or cannot be read, 481 "Invalid picture" for one that is no
// readable picture (picture/PictureReader.h), each with its cause.
class Picture {
 public:
  // Opens the file and reads its header. The HIMETRIC size (hundredths of a
  // millimetre) is worked out at the given resolution. cancelled, when given,
  // makes every later read fail once it is set.
  static Picture Load(const QString& fileName, double dpiX, double dpiY,
                      const std::atomic<bool>* cancelled = nullptr);

  QSize PixelSize() const { return pixelSize_; }
  int HimetricWidth() const { return himetricWidth_; }
  int HimetricHeight() const { return himetricHeight_; }

  // The pixels inside clip (picture pixels), at full resolution.
  QImage DecodeClip(const QRect& clip) const;
  // The whole picture at the given size, smoothly scaled. A JPEG decoder
  // shrinks while it decodes, so a large photo costs little more than
  // reading its file.
  QImage DecodeScaled(const QSize& size) const;

  // Pixels to HIMETRIC, rounded half away from zero.
  static int ToHimetric(int pixels, double dpi);

 private:
  Picture(QString fileName, QSize pixelSize, QSize storedSize,
          QImageIOHandler::Transformations turn, double dpiX, double dpiY,
          const std::atomic<bool>* cancelled);

  QString fileName_;
  QSize pixelSize_;
  QSize storedSize_;
  QImageIOHandler::Transformations turn_;
  int himetricWidth_ = 0;
  int himetricHeight_ = 0;
  const std::atomic<bool>* cancelled_ = nullptr;
};
