#include "display/PictureReader.h"

#include <QFileInfo>

#include "display/DecodeCost.h"

qint64 CancellableFile::readData(char* data, qint64 maxSize) {
  if (cancelled_ != nullptr && cancelled_->load()) {
    setErrorString(QStringLiteral("cancelled"));
    return -1;
  }
  return QFile::readData(data, maxSize);
}

PictureReader::PictureReader(const QString& fileName, const std::atomic<bool>* cancelled)
    : file_(fileName, cancelled) {
  if (!file_.open(QIODevice::ReadOnly)) {
    reason_ = file_.errorString();
    return;
  }
  const qint64 early =
      EarlyDecodeCostBytes(file_, QFileInfo(fileName).suffix().toLower().toLatin1());
  if (early > kDecodeCapBytes) {
    verdict_ = Verdict::kTooDear;
    reason_ = QStringLiteral("decoding this GIF would need %1 MB, more than %2 MB")
                  .arg(early >> 20)
                  .arg(kDecodeCapMegabytes);
    return;
  }
  // Qt's own limit, on the picture a decoder hands back, stays in force
  // below the cap for the formats whose cost this check estimates.
  QImageReader::setAllocationLimit(kDecodeCapMegabytes);
  // The file's name still picks the reader to try first, as for a reader
  // opened by name.
  reader_ = std::make_unique<QImageReader>(&file_);
  reader_->setAutoTransform(false);
  size_ = reader_->canRead() ? reader_->size() : QSize();
  if (!size_.isValid()) {
    verdict_ = Verdict::kNotAPicture;
    reason_ = reader_->errorString();
    return;
  }
  const qint64 cost =
      DecodeCostBytes(file_, reader_->format(), size_, [this] { return reader_->imageFormat(); });
  if (cost < 0 || cost > kDecodeCapBytes) {
    verdict_ = Verdict::kTooDear;
    const QString need = cost < 0 ? QStringLiteral("an amount its header does not tell")
                                  : QString::number(cost >> 20) + QStringLiteral(" MB");
    reason_ = QStringLiteral("decoding this %1 x %2 %3 picture would need %4, more than %5 MB")
                  .arg(size_.width())
                  .arg(size_.height())
                  .arg(QString::fromLatin1(reader_->format()), need)
                  .arg(kDecodeCapMegabytes);
    return;
  }
  verdict_ = Verdict::kReadable;
}
