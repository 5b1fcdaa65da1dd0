#include "display/Rendering.h"

#include <QPainter>

#include <cmath>

#include "display/DisplayBox.h"
#include "display/Picture.h"
#include "display/Placement.h"
#include "kit/ProgramError.h"

namespace {

constexpr double kTwipsPerInch = 1440.0;

class BoxPainter {
 public:
  BoxPainter(QPainter& painter, const DisplayBox& box)
      : painter_(painter), box_(box), inner_(QPoint(0, 0), box.InnerSize()) {}

  void Clear() { painter_.fillRect(inner_, box_.palette().color(box_.backgroundRole())); }

  // One line from the top-left corner, cut off at the right edge.
  void Print(const QString& text) {
    painter_.setFont(box_.font());
    painter_.setPen(box_.palette().color(box_.foregroundRole()));
    painter_.drawText(QPoint(0, painter_.fontMetrics().ascent()), text);
  }

  void Draw(const Picture& picture, const PlacementDraw& placement, int viewMode);

 private:
  QRectF SourcePixels(const Picture& picture, const PlacementDraw& d) const;
  void DrawUnscaled(const Picture& picture, const QRect& dest, QRectF source);

  QPainter& painter_;
  const DisplayBox& box_;
  QRect inner_;
};

// The placement's source rectangle (HIMETRIC, origin bottom-left) in the
// picture's pixels (origin top-left).
QRectF BoxPainter::SourcePixels(const Picture& picture, const PlacementDraw& d) const {
  const double sx = double(picture.PixelSize().width()) / picture.HimetricWidth();
  const double sy = double(picture.PixelSize().height()) / picture.HimetricHeight();
  const double top = picture.HimetricHeight() - 1 - d.ySrc;
  return QRectF(d.xSrc * sx, top * sy, d.cxSrc * sx, -d.cySrc * sy);
}

// Decodes only the part of the picture that lands inside the box.
void BoxPainter::DrawUnscaled(const Picture& picture, const QRect& dest, QRectF source) {
  const QRect visible = dest & inner_;
  if (visible.isEmpty()) return;
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
  if (clip.isEmpty()) return;
  const QImage image = picture.DecodeClip(clip);
  const QRectF target(dest.x() + (clip.x() - source.x()) / fx,
                      dest.y() + (clip.y() - source.y()) / fy, clip.width() / fx,
                      clip.height() / fy);
  painter_.drawImage(target, image);
}

void BoxPainter::Draw(const Picture& picture, const PlacementDraw& d, int viewMode) {
  const QRect dest(d.x, d.y, d.cx, d.cy);
  if (dest.isEmpty() || d.cxSrc <= 0 || d.cySrc >= 0) return;
  painter_.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF source = SourcePixels(picture, d);
  const bool pixelForPixel = viewMode == 0 || viewMode == 1;
  if (pixelForPixel) {
    DrawUnscaled(picture, dest, source);
  } else if ((dest & inner_).isValid()) {
    painter_.drawImage(dest.topLeft(), picture.DecodeScaled(dest.size()));
  }
}

}  // namespace

QString ErrorLine(qint32 number, const QString& description) {
  return QStringLiteral("Error ") + QString::number(number) + QStringLiteral(" - ") + description;
}

void RenderDisplay(QPainter& painter, const DisplayBox& box, const DisplayState& state,
                   const std::function<QString(int)>& fileName) {
  BoxPainter out(painter, box);
  out.Clear();
  if (state.count == 0 || state.listIndex == -1 || !state.viewChecked) return;
  const double dpiX = box.logicalDpiX();
  const double dpiY = box.logicalDpiY();
  try {
    // Loading comes first, so a file that cannot be loaded shows its error
    // in every mode.
    const Picture picture = Picture::Load(fileName(state.listIndex + 1), dpiX, dpiY);
    const Placement placement =
        ComputePlacement(state.viewMode, picture.HimetricWidth(), picture.HimetricHeight(),
                         static_cast<float>(box.width() * kTwipsPerInch / dpiX),
                         static_cast<float>(box.height() * kTwipsPerInch / dpiY), dpiX, dpiY);
    if (placement.kind == Placement::Kind::Text) out.Print(kNotSupportedText);
    if (placement.kind == Placement::Kind::Draw) out.Draw(picture, placement.draw, state.viewMode);
  } catch (const ProgramError& error) {
    out.Clear();
    out.Print(ErrorLine(error.Number(), error.Description()));
  }
}
