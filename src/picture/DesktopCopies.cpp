#include "picture/DesktopCopies.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <algorithm>

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
// JPEG at this quality keeps what a lossy source has; PNG at this one is
// written with zlib's fastest level, so a large photo takes a fraction of a
// second.
constexpr int kJpegQuality = 95;
constexpr int kPngQuality = 80;

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
  const QImage upright = picture.Read();
  const bool jpeg = IsLossy(file, format) && !upright.hasAlphaChannel();
  if (!QDir().mkpath(folder))
    RaiseNotWritten(file, folder, QStringLiteral("the folder cannot be created"));
  path_ = NewCopyPath(QDir(folder), jpeg ? ".jpg" : ".png");
  QSaveFile copy(path_);
  QImageWriter writer(&copy, jpeg ? "jpeg" : "png");
  writer.setQuality(jpeg ? kJpegQuality : kPngQuality);
  if (!copy.open(QIODevice::WriteOnly) || !writer.write(upright) || !copy.commit()) {
    const QString reason =
        copy.error() != QFileDevice::NoError ? copy.errorString() : writer.errorString();
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
