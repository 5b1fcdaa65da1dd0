#include "picture/PictureFormats.h"

#include <QImageReader>

namespace {

// Their readers decode the picture to tell its size.
bool SizeOnlyByDecoding(const QByteArray& format) { return format == "icns" || format == "mng"; }

}  // namespace

QList<QByteArray> ReadFormats() {
  RegisterPictureFormats();
  QList<QByteArray> formats;
  for (const QByteArray& format : QImageReader::supportedImageFormats()) {
    if (!SizeOnlyByDecoding(format)) formats.append(format);
  }
  return formats;
}

bool IsReadFormat(const QByteArray& format) { return !SizeOnlyByDecoding(format); }
