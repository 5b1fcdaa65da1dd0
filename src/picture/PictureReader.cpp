#include "picture/PictureReader.h"

#include <QFileInfo>
#include <QTransform>

#include "kit/ProgramError.h"
#include "picture/DecodeCost.h"
#include "picture/PictureFormats.h"

namespace {

constexpr char kProjectName[] = "ZVistaro02";
const QString kFileNotFound = QStringLiteral("File not found");
const QString kInvalidPicture = QStringLiteral("Invalid picture");

constexpr char kMissing[] = "\"%1\" does not exist or is no plain file";
constexpr char kUnreadable[] = "\"%1\" cannot be read (%2); check its permissions";
constexpr char kNotAPicture[] = "\"%1\" is not a picture this installation can read (%2)";
constexpr char kTooDearMemory[] =
    "\"%1\" is a %2 x %3 %4 picture whose decoding would need %5, more than the limit of %6 MB";
constexpr char kTooDearEarly[] =
    "\"%1\" is a GIF whose decoding would need %2 MB, more than the limit of %3 MB";
constexpr char kTooDearTime[] = "\"%1\" would take far too long to decode: %2";
constexpr char kUndecodable[] = "\"%1\" does not decode as a picture (%2)";

}  // namespace

qint64 CancellableFile::readData(char* data, qint64 maxSize) {
  if (cancelled_ != nullptr && cancelled_->load()) {
    setErrorString(QStringLiteral("cancelled"));
    return -1;
  }
  return QFile::readData(data, maxSize);
}

PictureReader::PictureReader(const QString& fileName, const std::atomic<bool>* cancelled)
    : fileName_(fileName), file_(fileName, cancelled) {
  RegisterPictureFormats();
  if (!QFileInfo(fileName).isFile()) {
    Refuse(Verdict::kMissing, QString::fromLatin1(kMissing).arg(fileName));
    return;
  }
  if (!file_.open(QIODevice::ReadOnly)) {
    Refuse(Verdict::kUnreadable,
           QString::fromLatin1(kUnreadable).arg(fileName, file_.errorString()));
    return;
  }
  const qint64 early =
      EarlyDecodeCostBytes(file_, QFileInfo(fileName).suffix().toLower().toLatin1());
  if (early > kDecodeCapBytes) {
    Refuse(
        Verdict::kTooDear,
        QString::fromLatin1(kTooDearEarly).arg(fileName).arg(early >> 20).arg(kDecodeCapMegabytes));
    return;
  }
  // Qt's own limit, on the picture a decoder hands back, stays in force
  // below the cap for the formats whose cost this check estimates.
  QImageReader::setAllocationLimit(kDecodeCapMegabytes);
  // The file's name still picks the reader to try first, as for a reader
  // opened by name.
  reader_ = std::make_unique<QImageReader>(&file_);
  reader_->setAutoTransform(true);
  size_ = reader_->canRead() ? reader_->size() : QSize();
  format_ = reader_->format();
  if (!size_.isValid() || !IsReadFormat(format_)) {
    const QString reason = size_.isValid() ? QStringLiteral("its reader cannot tell its size")
                                           : reader_->errorString();
    Refuse(Verdict::kNotAPicture, QString::fromLatin1(kNotAPicture).arg(fileName, reason));
    return;
  }
  transformation_ = reader_->transformation();
  CheckCost();
}

void PictureReader::CheckCost() {
  const qint64 cost =
      DecodeCostBytes(file_, format_, size_, [this] { return reader_->imageFormat(); });
  if (cost < 0 || cost > kDecodeCapBytes) {
    const QString need = cost < 0 ? QStringLiteral("an amount its header does not tell")
                                  : QString::number(cost >> 20) + QStringLiteral(" MB");
    Refuse(Verdict::kTooDear, QString::fromLatin1(kTooDearMemory)
                                  .arg(fileName_)
                                  .arg(size_.width())
                                  .arg(size_.height())
                                  .arg(QString::fromLatin1(format_.toUpper()), need)
                                  .arg(kDecodeCapMegabytes));
    return;
  }
  const QString slow = DecodeTimeRefusal(file_, format_, size_);
  if (!slow.isEmpty()) {
    Refuse(Verdict::kTooDear, QString::fromLatin1(kTooDearTime).arg(fileName_, slow));
    return;
  }
  verdict_ = Verdict::kReadable;
}

void PictureReader::Refuse(Verdict verdict, const QString& cause) {
  verdict_ = verdict;
  cause_ = cause;
}

void PictureReader::RaiseUnlessReadable() const {
  switch (verdict_) {
    case Verdict::kReadable:
      return;
    case Verdict::kMissing:
    case Verdict::kUnreadable:
      throw ProgramError(kErrFileNotFound, QLatin1String(kProjectName), kFileNotFound, cause_);
    case Verdict::kNotAPicture:
    case Verdict::kTooDear:
      break;
  }
  throw ProgramError(kErrInvalidPicture, QLatin1String(kProjectName), kInvalidPicture, cause_);
}

QImage PictureReader::Read() {
  RaiseUnlessReadable();
  QImage image = reader_->read();
  if (image.isNull()) {
    throw ProgramError(kErrInvalidPicture, QLatin1String(kProjectName), kInvalidPicture,
                       QString::fromLatin1(kUndecodable).arg(fileName_, reader_->errorString()));
  }
  return image;
}

QSize PictureReader::UprightSize() const {
  return transformation_.testFlag(QImageIOHandler::TransformationRotate90) ? size_.transposed()
                                                                           : size_;
}

QRect StoredRect(const QRect& upright, QSize stored, QImageIOHandler::Transformations turn) {
  // Qt turns a picture as its metadata says by mirroring and flipping it
  // first, then turning it a quarter clockwise.
  const double w = stored.width();
  const double h = stored.height();
  QTransform toUpright;
  if (turn.testFlag(QImageIOHandler::TransformationMirror))
    toUpright *= QTransform(-1, 0, 0, 1, w, 0);
  if (turn.testFlag(QImageIOHandler::TransformationFlip))
    toUpright *= QTransform(1, 0, 0, -1, 0, h);
  if (turn.testFlag(QImageIOHandler::TransformationRotate90)) {
    toUpright *= QTransform(0, 1, -1, 0, h, 0);
  }
  return toUpright.inverted().mapRect(QRectF(upright)).toAlignedRect();
}
