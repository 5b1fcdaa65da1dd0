#pragma once

#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>

// The picture file as the decoders read it: once cancelled is set, every read
// fails, so that a decode nobody waits for any more ends early.
class CancellableFile : public QFile {
 public:
  CancellableFile(const QString& fileName, const std::atomic<bool>* cancelled)
      : QFile(fileName), cancelled_(cancelled) {}

 protected:
  qint64 readData(char* data, qint64 maxSize) override;

 private:
  const std::atomic<bool>* cancelled_;
};

// One picture file opened for decoding, after the checks that every route
// makes before any decoder runs: the file opens, its header reads as a
// picture of a valid size, and decoding it costs no more than the program's
// caps in memory and in time (picture/DecodeCost.h). Every decode of the
// program goes through one, so that the caps serve the display box and every
// wallpaper route alike. The checks and the decode read the same open file.
//
// Sizes and rectangles are those of the picture as stored; the decode turns
// it upright as its metadata (EXIF orientation) says, after any clip or
// scaling.
class PictureReader {
 public:
  enum class Verdict {
    kReadable,
    kMissing,      // no such file
    kUnreadable,   // it exists but cannot be opened
    kNotAPicture,  // no reader takes it, or its header gives no valid size
    kTooDear,      // its decoder would need more than a cap
  };

  // cancelled, when given, stops the decode early once it is set.
  explicit PictureReader(const QString& fileName, const std::atomic<bool>* cancelled = nullptr);

  Verdict Check() const { return verdict_; }
  // What the check found, naming the file, for the error report's cause line.
  QString Cause() const { return cause_; }
  // Raises the numbered error of a file that did not pass the check: 53
  // "File not found" for one that is missing or cannot be read, 481
  // "Invalid picture" for one that is no picture or too dear to decode; the
  // cause names the file.
  void RaiseUnlessReadable() const;
  // Decodes what the reader is set up for; raises 481 "Invalid picture",
  // naming the file and the decoder's reason, when that fails.
  QImage Read();

  // The picture's size as stored, and upright.
  QSize Size() const { return size_; }
  QSize UprightSize() const;
  // The turn the picture's metadata asks for.
  QImageIOHandler::Transformations Transformation() const { return transformation_; }
  // The name of the reader that decodes it ("jpeg", "png", "heif", ...).
  QByteArray Format() const { return format_; }
  // The reader, for setting the size or part to decode; only when the
  // verdict is kReadable.
  QImageReader& Reader() { return *reader_; }

 private:
  void Refuse(Verdict verdict, const QString& cause);
  void CheckCost();

  QString fileName_;
  CancellableFile file_;
  std::unique_ptr<QImageReader> reader_;
  Verdict verdict_ = Verdict::kMissing;
  QString cause_;
  QSize size_;
  QImageIOHandler::Transformations transformation_ = QImageIOHandler::TransformationNone;
  QByteArray format_;
};

// The part of the stored picture that becomes the given rectangle of the
// upright one.
QRect StoredRect(const QRect& upright, QSize stored, QImageIOHandler::Transformations turn);
