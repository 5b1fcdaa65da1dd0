#include "display/Picture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cmath>
#include <memory>

#include "errors/Errors.h"

namespace {

const QString kFileNotFound = QStringLiteral("File not found");
const QString kInvalidPicture = QStringLiteral("Invalid picture");

// Large enough for huge legitimate pictures (a 50-megapixel photo needs
// 200 MB), small enough that an absurd header is still refused.
constexpr int kAllocationLimitMb = 1024;

[[noreturn]] void Raise(qint32 number, const QString& description) {
  throw ProgramError(number, QLatin1String(modMain::kProjectName), description);
}

// The reader that every step of a picture opens afresh: the file is read
// again on every drawing, so a changed file shows its new content.
std::unique_ptr<QImageReader> OpenReader(const QString& fileName) {
  QImageReader::setAllocationLimit(kAllocationLimitMb);
  auto reader = std::make_unique<QImageReader>(fileName);
  reader->setAutoTransform(false);
  return reader;
}

}  // namespace

Picture::Picture(QString fileName, QSize pixelSize, double dpiX, double dpiY)
    : fileName_(std::move(fileName)),
      pixelSize_(pixelSize),
      himetricWidth_(ToHimetric(pixelSize.width(), dpiX)),
      himetricHeight_(ToHimetric(pixelSize.height(), dpiY)) {}

int Picture::ToHimetric(int pixels, double dpi) {
  return static_cast<int>(std::lround(pixels * 2540.0 / dpi));
}

Picture Picture::Load(const QString& fileName, double dpiX, double dpiY) {
  QFile file(fileName);
  if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
    Raise(kErrFileNotFound, kFileNotFound);
  }
  file.close();
  const auto reader = OpenReader(fileName);
  const QSize size = reader->canRead() ? reader->size() : QSize();
  if (!size.isValid()) RaiseInvalidPicture();
  return Picture(fileName, size, dpiX, dpiY);
}

void Picture::RaiseInvalidPicture() { Raise(kErrInvalidPicture, kInvalidPicture); }

QImage Picture::DecodeClip(const QRect& clip) const {
  const auto reader = OpenReader(fileName_);
  reader->setClipRect(clip);
  const QImage image = reader->read();
  if (image.isNull()) RaiseInvalidPicture();
  return image;
}

QImage Picture::DecodeScaled(const QSize& size) const {
  const auto reader = OpenReader(fileName_);
  reader->setScaledSize(size);
  const QImage image = reader->read();
  if (image.isNull()) RaiseInvalidPicture();
  return image;
}
