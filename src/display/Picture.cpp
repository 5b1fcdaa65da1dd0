#include "display/Picture.h"

#include <cmath>

#include "picture/PictureReader.h"

Picture::Picture(QString fileName, QSize pixelSize, QSize storedSize,
                 QImageIOHandler::Transformations turn, double dpiX, double dpiY,
                 const std::atomic<bool>* cancelled)
    : fileName_(std::move(fileName)),
      pixelSize_(pixelSize),
      storedSize_(storedSize),
      turn_(turn),
      himetricWidth_(ToHimetric(pixelSize.width(), dpiX)),
      himetricHeight_(ToHimetric(pixelSize.height(), dpiY)),
      cancelled_(cancelled) {}

int Picture::ToHimetric(int pixels, double dpi) {
  return static_cast<int>(std::lround(pixels * 2540.0 / dpi));
}

Picture Picture::Load(const QString& fileName, double dpiX, double dpiY,
                      const std::atomic<bool>* cancelled) {
  const PictureReader reader(fileName, cancelled);
  reader.RaiseUnlessReadable();
  return Picture(fileName, reader.UprightSize(), reader.Size(), reader.Transformation(), dpiX, dpiY,
                 cancelled);
}

// Every step of a picture opens it afresh, so a changed file shows its new
// content; the clip and the size asked of the reader are those of the
// picture as stored, which the reader turns upright last.
QImage Picture::DecodeClip(const QRect& clip) const {
  PictureReader reader(fileName_, cancelled_);
  reader.RaiseUnlessReadable();
  reader.Reader().setClipRect(StoredRect(clip, storedSize_, turn_));
  return reader.Read();
}

QImage Picture::DecodeScaled(const QSize& size) const {
  PictureReader reader(fileName_, cancelled_);
  reader.RaiseUnlessReadable();
  reader.Reader().setScaledSize(
      turn_.testFlag(QImageIOHandler::TransformationRotate90) ? size.transposed() : size);
  return reader.Read();
}
