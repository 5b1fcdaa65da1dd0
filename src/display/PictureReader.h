#pragma once

#include <QFile>
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
// cap (display/DecodeCost.h). Every decode of the program goes through one,
// so that the cap serves the display box and every wallpaper route alike.
// The checks and the decode read the same open file.
class PictureReader {
 public:
  enum class Verdict {
    kReadable,
    kMissing,      // no such file, or it cannot be opened
    kNotAPicture,  // no reader takes it, or its header gives no valid size
    kTooDear,      // its decoder would need more than the cap
  };

  // cancelled, when given, stops the decode early once it is set.
  explicit PictureReader(const QString& fileName, const std::atomic<bool>* cancelled = nullptr);

  Verdict Check() const { return verdict_; }
  // What the check found, in plain words for the trace output.
  QString Reason() const { return reason_; }
  // The picture's size as stored (before any turn its metadata asks for).
  QSize Size() const { return size_; }
  // The reader, for setting the size or part to decode and decoding; only
  // when the verdict is kReadable.
  QImageReader& Reader() { return *reader_; }

 private:
  CancellableFile file_;
  std::unique_ptr<QImageReader> reader_;
  Verdict verdict_ = Verdict::kMissing;
  QString reason_;
  QSize size_;
};
