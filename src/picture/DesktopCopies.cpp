#include "picture/DesktopCopies.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>

#include "kit/ProgramError.h"
#include "picture/PictureDecode.h"
#include "picture/PictureReader.h"

namespace {

constexpr char kProjectName[] = "ZVistaro02";
const QString kPathFileAccess = QStringLiteral("Path/File access error");
constexpr char kNotWritten[] =
    "the copy of \"%1\" that the desktop can read could not be written to \"%2\" (%3); make "
    "room or make the folder writable";
const QString kCopyPrefix = QStringLiteral("wallpaper-");
// JPEG at this quality keeps what a lossy source has.
constexpr int kJpegQuality = 95;

// Formats every desktop reads, as their readers name them.
bool EveryDesktopReads(const QByteArray& format) { return format == "png" || format == "jpeg"; }

// Whether the source lost detail when it was stored: a PNG copy would then
// only be larger, not better.
bool IsLossy(const QString& file, const QByteArray& format) {
  if (format == "jpeg" || format == "heif" || format == "avif" || format == "jxl") return true;
  if (format != "webp") return false;
  // A WebP file is lossy when it holds a "VP8 " chunk (lossless ones hold
  // "VP8L"); an extended file names its alpha and metadata chunks first.
  QFile source(file);
  return source.open(QIODevice::ReadOnly) && source.read(4096).contains("VP8 ");
}

// The copies in the folder, oldest first: their names hold the time they
// were made.
QStringList Copies(const QDir& folder) {
  QStringList names = folder.entryList(
      {kCopyPrefix + QStringLiteral("*.png"), kCopyPrefix + QStringLiteral("*.jpg")}, QDir::Files);
  const auto stamp = [](const QString& name) {
    return name.mid(kCopyPrefix.size()).section(QLatin1Char('.'), 0, 0).toLongLong();
  };
  std::sort(names.begin(), names.end(),
            [&stamp](const QString& a, const QString& b) { return stamp(a) < stamp(b); });
  return names;
}

[[noreturn]] void RaiseNotWritten(const QString& file, const QString& folder,
                                  const QString& reason) {
  throw ProgramError(kErrPathFileAccess, QLatin1String(kProjectName), kPathFileAccess,
                     QString::fromLatin1(kNotWritten).arg(file, folder, reason));
}

// A name in the folder that no copy had: the time now, in milliseconds.
QString NewCopyPath(const QDir& folder, const char* suffix) {
  for (qint64 stamp = QDateTime::currentMSecsSinceEpoch();; ++stamp) {
    const QString path =
        folder.filePath(kCopyPrefix + QString::number(stamp) + QLatin1String(suffix));
    if (!QFile::exists(path)) return path;
  }
}

// Writes all the bytes; a disk that fills up first takes part of a write,
// and the next one says why. Returns why not all were written; empty when
// they were.
QString WriteAll(QIODevice& device, const char* data, qint64 size) {
  while (size > 0) {
    const qint64 written = device.write(data, size);
    if (written <= 0) return device.errorString();
    data += written;
    size -= written;
  }
  return {};
}

// Where libpng's output goes, and why not all of it got there.
struct PngSink {
  QIODevice* device;
  QString failure;
};

void WritePngBytes(png_structp png, png_bytep data, size_t size) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  sink->failure =
      WriteAll(*sink->device, reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  if (!sink->failure.isEmpty()) png_error(png, "write failed");
}

void FlushPng(png_structp /*png*/) {}

// libpng's own handlers print on standard error; the caller reports.
void PngFailed(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void PngWarned(png_structp /*png*/, png_const_charp /*message*/) {}

// Writes the picture, 8 bits a sample, for a desktop to read it once. Each
// row is stored as its difference to the row above and compressed with
// zlib's run-length strategy at its fastest level: for a photo of 50
// megapixels that takes half the time of libpng's own choice (every filter
// tried on every row), and the file comes out smaller. The picture must be
// in Format_RGBX8888 or Format_RGBA8888. Nothing is built between setjmp()
// and the writing that libpng's longjmp() on an error would skip. Returns
// why the file could not be written; empty when it was.
QString WritePng(const QImage& picture, QIODevice& device) {
  const QString outOfMemory = QStringLiteral("out of memory");
  PngSink sink{&device, {}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFailed, PngWarned);
  if (png == nullptr) return outOfMemory;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    return sink.failure.isEmpty() ? outOfMemory : sink.failure;
  }
  png_set_write_fn(png, &sink, WritePngBytes, FlushPng);
  const bool alpha = picture.format() == QImage::Format_RGBA8888;
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width()),
               static_cast<png_uint_32>(picture.height()), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_strategy(png, Z_RLE);
  png_set_compression_level(png, Z_BEST_SPEED);
  png_write_info(png, info);
  // RGBX rows carry a fourth byte that the file does not.
  if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < picture.height(); ++y) {
    png_write_row(png, const_cast<png_bytep>(picture.constScanLine(y)));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return {};
}

}  // namespace

DesktopCopy::DesktopCopy(const QString& file, const QString& folder) : folder_(folder) {
  PictureReader picture(file);
  picture.RaiseUnlessReadable();
  const QByteArray format = picture.Format();
  if (EveryDesktopReads(format) &&
      picture.Transformation() == QImageIOHandler::TransformationNone) {
    CheckDecodes(file);
    path_ = file;
    return;
  }
  QImage upright = picture.Read();
  const bool jpeg = IsLossy(file, format) && !upright.hasAlphaChannel();
  if (!QDir().mkpath(folder))
    RaiseNotWritten(file, folder, QStringLiteral("the folder cannot be created"));
  path_ = NewCopyPath(QDir(folder), jpeg ? ".jpg" : ".png");
  QSaveFile copy(path_);
  // Unbuffered, so that a failed write says why (a full disk, say).
  bool written = copy.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  QString reason = copy.errorString();
  if (written && jpeg) {
    // Made in memory first: Qt's JPEG writer does not tell why a write failed.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    reason = writer.write(upright) ? WriteAll(copy, bytes.constData(), bytes.size())
                                   : writer.errorString();
    written = reason.isEmpty();
  } else if (written) {
    // Converted in place where the pixel size stays.
    upright.convertTo(upright.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                : QImage::Format_RGBX8888);
    reason = WritePng(upright, copy);
    written = reason.isEmpty();
  }
  if (!written || !copy.commit()) {
    if (written) reason = copy.errorString();
    path_.clear();
    RaiseNotWritten(file, folder, reason);
  }
  copied_ = true;
}

DesktopCopy::~DesktopCopy() {
  if (copied_ && !kept_) QFile::remove(path_);
}

void DesktopCopy::Keep() {
  kept_ = true;
  QDir folder(folder_);
  QStringList copies = Copies(folder);
  if (copied_) copies.removeAll(QFileInfo(path_).fileName());
  // The one shown before stays until the next rotation: a desktop may still
  // be reading it.
  if (!copies.isEmpty()) copies.removeLast();
  for (const QString& name : copies) folder.remove(name);
}
