#include "picture/PictureDecode.h"

#include <QImageReader>
#include <QPainter>

#include <algorithm>

#include "picture/PictureReader.h"

namespace {

// The largest of 1, 2, 4 and 8 by which the picture can be shrunk and still
// cover the screen. JPEG decodes at these fractions directly, skipping most
// of the work for a photo far larger than the screen.
int DecodeReduction(QSize picture, QSize screen) {
  int reduction = 1;
  while (reduction < 8 && picture.width() / (2 * reduction) >= screen.width() &&
         picture.height() / (2 * reduction) >= screen.height()) {
    reduction *= 2;
  }
  return reduction;
}

// The part of the picture that covers the screen when scaled with its
// proportions kept: the middle, cut at the two sides or at top and bottom.
QRectF CoverSource(QSize picture, QSize screen) {
  const double scale = std::max(double(screen.width()) / picture.width(),
                                double(screen.height()) / picture.height());
  const QSizeF shown(screen.width() / scale, screen.height() / scale);
  return QRectF(
      QPointF((picture.width() - shown.width()) / 2, (picture.height() - shown.height()) / 2),
      shown);
}

// A reader that shrinks while decoding decodes only the part that
// will be shown, at the largest reduction that still covers the screen.
QImage DecodeReduced(PictureReader& picture, QSize screen) {
  QImageReader& reader = picture.Reader();
  const QSize stored = picture.Size();
  // Sizes are compared as stored; a picture turned on its side is turned
  // after decoding.
  const bool turned = picture.Transformation().testFlag(QImageIOHandler::TransformationRotate90);
  const QSize target = turned ? screen.transposed() : screen;
  const QRect shown = CoverSource(stored, target).toAlignedRect();
  if (shown.size() != stored) reader.setClipRect(shown);
  const int reduction = DecodeReduction(shown.size(), target);
  if (reduction > 1) reader.setScaledSize(shown.size() / reduction);
  const QImage decoded = picture.Read();
  if (decoded.size() == screen) return decoded.convertToFormat(QImage::Format_RGB32);
  // What is left is less than a halving, where bilinear filtering loses no
  // detail worth the far slower area averaging.
  QImage covering(screen, QImage::Format_RGB32);
  QPainter painter(&covering);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(QPointF(0, 0), screen), decoded, CoverSource(decoded.size(), screen));
  return covering;
}

// The format QImage::smoothScaled() reads without a converted copy, reached
// from the decoded picture's own format without a second buffer where the
// pixel size stays the same.
QImage::Format ScalableFormat(const QImage& image) {
  switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64_Premultiplied:
      return image.format();
    case QImage::Format_RGBA64:
      return QImage::Format_RGBA64_Premultiplied;
    default:
      return image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
  }
}

// A reader that cannot shrink while decoding (PNG and most others) decodes
// the whole picture once; the part that covers the screen is then averaged
// down straight from it, so that the peak stays at one full-size picture
// (Qt's own clip and scaled reading would copy the part first).
QImage DecodeWhole(PictureReader& picture, QSize screen) {
  QImage decoded = picture.Read();
  decoded.convertTo(ScalableFormat(decoded));
  const QRect shown = CoverSource(decoded.size(), screen).toAlignedRect() & decoded.rect();
  const int bytesPerPixel = decoded.depth() / 8;
  const QImage part(decoded.constScanLine(shown.top()) + shown.left() * bytesPerPixel,
                    shown.width(), shown.height(), decoded.bytesPerLine(), decoded.format());
  const QImage scaled = part.size() == screen
                            ? part
                            : part.scaled(screen, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return scaled.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

void CheckDecodes(const QString& file) {
  PictureReader picture(file);
  picture.RaiseUnlessReadable();
  if (picture.Format() == "jpeg") {
    const QSize size = picture.Size();
    picture.Reader().setScaledSize(QSize((size.width() + 7) / 8, (size.height() + 7) / 8));
  }
  picture.Read();
}

QImage DecodeUpright(const QString& file) { return PictureReader(file).Read(); }

QImage DecodeToCover(const QString& file, QSize screen) {
  PictureReader picture(file);
  picture.RaiseUnlessReadable();
  // Of Qt's readers only JPEG's shrinks while decoding (PNG's, too, says it
  // takes a scaled size, but decodes the whole picture first).
  return picture.Format() == "jpeg" ? DecodeReduced(picture, screen) : DecodeWhole(picture, screen);
}
