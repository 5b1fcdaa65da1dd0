#include "display/Rendering.h"

#include <QPainter>

#include <cmath>

#include "display/DisplayBox.h"
#include "display/Picture.h"
#include "display/Placement.h"
#include "kit/ProgramError.h"

namespace {

BoxContent Text(const QString& line) { return {BoxContent::Kind::kText, line, {}, {}, {}}; }

// The error line of a file that cannot be shown, and its cause.
BoxContent ErrorLine(const ProgramError& error) {
  return {BoxContent::Kind::kText,
          ProgramError::Text(error.Number(), error.Description()),
          {},
          {},
          error.Cause()};
}

// The placement's source rectangle (HIMETRIC, origin bottom-left) in the
// picture's pixels (origin top-left).
QRectF SourcePixels(const Picture& picture, const PlacementDraw& d) {
  const double sx = double(picture.PixelSize().width()) / picture.HimetricWidth();
  const double sy = double(picture.PixelSize().height()) / picture.HimetricHeight();
  const double top = picture.HimetricHeight() - 1 - d.ySrc;
  return QRectF(d.xSrc * sx, top * sy, d.cxSrc * sx, -d.cySrc * sy);
}

// Decodes only the part of the picture that lands inside the box.
BoxContent DecodeUnscaled(const Picture& picture, const QRect& dest, QRectF source,
                          const QRect& inner) {
  const QRect visible = dest & inner;
  if (visible.isEmpty()) return {};
  // The picture keeps its pixel size here: the last fraction of a pixel
  // that unit conversions leave must not turn into a blurring rescale.
  if (std::abs(source.width() - dest.width()) < 1) source.setWidth(dest.width());
  if (std::abs(source.height() - dest.height()) < 1) source.setHeight(dest.height());
  const double fx = source.width() / dest.width();
  const double fy = source.height() / dest.height();
  const QRectF visibleSource(source.x() + (visible.x() - dest.x()) * fx,
                             source.y() + (visible.y() - dest.y()) * fy, visible.width() * fx,
                             visible.height() * fy);
  const QRect clip = visibleSource.toAlignedRect() & QRect(QPoint(0, 0), picture.PixelSize());
  if (clip.isEmpty()) return {};
  const QRectF target(dest.x() + (clip.x() - source.x()) / fx,
                      dest.y() + (clip.y() - source.y()) / fy, clip.width() / fx,
                      clip.height() / fy);
  return {BoxContent::Kind::kPicture, {}, picture.DecodeClip(clip), target, {}};
}

BoxContent Decode(const Picture& picture, const PlacementDraw& d, int viewMode,
                  const QRect& inner) {
  const QRect dest(d.x, d.y, d.cx, d.cy);
  if (dest.isEmpty() || d.cxSrc <= 0 || d.cySrc >= 0) return {};
  const bool pixelForPixel = viewMode == kViewOriginal || viewMode == kViewCentered;
  if (pixelForPixel) return DecodeUnscaled(picture, dest, SourcePixels(picture, d), inner);
  if (!(dest & inner).isValid()) return {};
  const QImage image = picture.DecodeScaled(dest.size());
  return {BoxContent::Kind::kPicture, {}, image, QRectF(dest.topLeft(), image.size()), {}};
}

}  // namespace

BoxContent MakeBoxContent(const BoxRequest& request, const std::atomic<bool>& cancelled) {
  try {
    // Loading comes first, so a file that cannot be loaded shows its error
    // in every mode.
    const Picture picture = Picture::Load(request.fileName, request.dpiX, request.dpiY, &cancelled);
    const Placement placement = ComputePlacement(
        request.viewMode, picture.HimetricWidth(), picture.HimetricHeight(),
        static_cast<float>(request.boxSize.width() * kTwipsPerInch / request.dpiX),
        static_cast<float>(request.boxSize.height() * kTwipsPerInch / request.dpiY), request.dpiX,
        request.dpiY);
    if (placement.kind == Placement::Kind::Text) return Text(kNotSupportedText);
    if (placement.kind == Placement::Kind::Nothing) return {};
    return Decode(picture, placement.draw, request.viewMode,
                  QRect(QPoint(0, 0), request.innerSize));
  } catch (const ProgramError& error) {
    return ErrorLine(error);
  }
}

BoxRequest RequestFor(const DisplayBox& box, const QString& fileName, int viewMode) {
  return {fileName,
          StampOf(fileName),
          viewMode,
          box.size(),
          box.InnerSize(),
          double(box.logicalDpiX()),
          double(box.logicalDpiY())};
}

void PaintBoxContent(QPainter& painter, const DisplayBox& box, const BoxContent& content) {
  painter.fillRect(QRect(QPoint(0, 0), box.InnerSize()), box.palette().color(box.backgroundRole()));
  if (content.kind == BoxContent::Kind::kText) {
    // One line from the top-left corner, cut off at the right edge.
    painter.setFont(box.font());
    painter.setPen(box.palette().color(box.foregroundRole()));
    painter.drawText(QPoint(0, painter.fontMetrics().ascent()), content.text);
  } else if (content.kind == BoxContent::Kind::kPicture) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (content.target.size() == content.picture.size()) {
      painter.drawImage(content.target.topLeft(), content.picture);
    } else {
      painter.drawImage(content.target, content.picture);
    }
  }
}

void RenderDisplay(QPainter& painter, DisplayBox& box, const DisplayState& state,
                   const std::function<QString(int)>& fileName) {
  PaintBoxContent(painter, box, {});
  QString cause;
  if (state.count > 0 && state.listIndex != -1 && state.viewChecked) {
    try {
      const BoxRequest request = RequestFor(box, fileName(state.listIndex + 1), state.viewMode);
      if (const BoxContent* content = box.Cache().Find(request)) {
        PaintBoxContent(painter, box, *content);
        cause = content->cause;
      }
    } catch (const ProgramError& error) {
      PaintBoxContent(painter, box, ErrorLine(error));
      cause = error.Cause();
    }
  }
  // The box keeps its one error line; pointing at it tells why.
  if (box.toolTip() != cause) box.setToolTip(cause);
}
