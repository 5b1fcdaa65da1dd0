#include "display/Picture.h"

#include <QFileInfo>

#include <cmath>

#include "display/PictureReader.h"
#include "errors/Errors.h"

namespace {

const QString kFileNotFound = QStringLiteral("File not found");
const QString kInvalidPicture = QStringLiteral("Invalid picture");

[[noreturn]] void Raise(qint32 number, const QString& description) {
  throw ProgramError(number, QLatin1String(modMain::kProjectName), description);
}

// Opens the file for decoding, after the header checks; raises the numbered
// error of a file that cannot be shown. Every step of a picture opens it
// afresh, so a changed file shows its new content.
void Open(PictureReader& reader) {
  switch (reader.Check()) {
    case PictureReader::Verdict::kReadable:
      return;
    case PictureReader::Verdict::kMissing:
      Raise(kErrFileNotFound, kFileNotFound);
    case PictureReader::Verdict::kNotAPicture:
    case PictureReader::Verdict::kTooDear:
      break;
  }
  Raise(kErrInvalidPicture, kInvalidPicture);
}

}  // namespace

Picture::Picture(QString fileName, QSize pixelSize, double dpiX, double dpiY,
                 const std::atomic<bool>* cancelled)
    : fileName_(std::move(fileName)),
      pixelSize_(pixelSize),
      himetricWidth_(ToHimetric(pixelSize.width(), dpiX)),
      himetricHeight_(ToHimetric(pixelSize.height(), dpiY)),
      cancelled_(cancelled) {}

int Picture::ToHimetric(int pixels, double dpi) {
  return static_cast<int>(std::lround(pixels * 2540.0 / dpi));
}

Picture Picture::Load(const QString& fileName, double dpiX, double dpiY,
                      const std::atomic<bool>* cancelled) {
  if (!QFileInfo(fileName).isFile()) Raise(kErrFileNotFound, kFileNotFound);
  PictureReader reader(fileName, cancelled);
  Open(reader);
  return Picture(fileName, reader.Size(), dpiX, dpiY, cancelled);
}

void Picture::RaiseInvalidPicture() { Raise(kErrInvalidPicture, kInvalidPicture); }

QImage Picture::DecodeClip(const QRect& clip) const {
  PictureReader reader(fileName_, cancelled_);
  Open(reader);
  reader.Reader().setClipRect(clip);
  const QImage image = reader.Reader().read();
  if (image.isNull()) RaiseInvalidPicture();
  return image;
}

QImage Picture::DecodeScaled(const QSize& size) const {
  PictureReader reader(fileName_, cancelled_);
  Open(reader);
  reader.Reader().setScaledSize(size);
  const QImage image = reader.Reader().read();
  if (image.isNull()) RaiseInvalidPicture();
  return image;
}
