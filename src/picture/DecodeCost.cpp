#include "picture/DecodeCost.h"

#include <QIODevice>
#include <QList>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Figures are worked out in floating point: widths and heights of up to 2^32
// each multiply past any integer type, and a cost is only ever compared
// with the cap.
using Bytes = double;

qint64 Clamped(Bytes bytes) {
  constexpr Bytes kMost = Bytes(std::numeric_limits<qint64>::max() / 2);
  return bytes < 0 ? -1 : qint64(std::min(bytes, kMost));
}

// The file's bytes, read through a buffer of its own so that walking a
// header byte by byte, past however much padding comes first, costs one read
// a block; the file is left where it was, for the decoder that has read up to
// there.
class Header {
 public:
  explicit Header(QIODevice& file) : file_(file), was_(file.pos()) {}
  ~Header() { file_.seek(was_); }
  Header(const Header&) = delete;
  Header& operator=(const Header&) = delete;

  // n bytes at offset from the start of the file, or fewer at its end.
  QByteArray At(qint64 offset, qint64 n) {
    if (offset < 0 || n < 0) return {};
    if (!Holds(offset, n) && !Fill(offset, n)) return {};
    const qint64 from = offset - start_;
    return block_.mid(from, std::min<qint64>(n, block_.size() - from));
  }

  // The byte at offset; -1 past the end of the file.
  int Byte(qint64 offset) {
    if (offset < 0 || (!Holds(offset, 1) && !Fill(offset, 1))) return -1;
    const qint64 from = offset - start_;
    return from < block_.size() ? quint8(block_[from]) : -1;
  }

  // The offset of the first byte of the value at or after offset; -1 when
  // there is none.
  qint64 Find(qint64 offset, char value) {
    for (;;) {
      if (Byte(offset) < 0) return -1;
      const qint64 from = offset - start_;
      const void* found =
          std::memchr(block_.constData() + from, value, size_t(block_.size() - from));
      if (found != nullptr) return start_ + (static_cast<const char*>(found) - block_.constData());
      offset = start_ + block_.size();
    }
  }

  qint64 FileSize() const { return file_.size(); }

 private:
  static constexpr qint64 kBlock = 64 * 1024;

  bool Holds(qint64 offset, qint64 n) const {
    return offset >= start_ && offset + n <= start_ + block_.size();
  }
  bool Fill(qint64 offset, qint64 n) {
    if (!file_.seek(offset)) return false;
    block_ = file_.read(std::max(n, kBlock));
    start_ = offset;
    return !block_.isEmpty();
  }

  QIODevice& file_;
  qint64 was_;
  qint64 start_ = 0;
  QByteArray block_;
};

// A number of the header at a byte offset; 0 where the header is too short
// for it, so that a cut-off header never reads past its bytes.
template <typename T>
T Number(const QByteArray& b, int at, bool bigEndian) {
  if (at < 0 || b.size() < at + qsizetype(sizeof(T))) return 0;
  const char* bytes = b.constData() + at;
  return bigEndian ? qFromBigEndian<T>(bytes) : qFromLittleEndian<T>(bytes);
}

quint32 Be16(const QByteArray& b, int at) { return Number<quint16>(b, at, true); }
quint32 Be32(const QByteArray& b, int at) { return Number<quint32>(b, at, true); }
quint32 Le16(const QByteArray& b, int at) { return Number<quint16>(b, at, false); }
qint32 Le32(const QByteArray& b, int at) { return Number<qint32>(b, at, false); }
quint8 U8(const QByteArray& b, int at) { return Number<quint8>(b, at, false); }

// --- JPEG: libjpeg's own memory, from the frame header and the first scan.

struct JpegComponent {
  int h = 0;  // sampling factors, 1 to 4
  int v = 0;
};

struct JpegFrame {
  quint32 width = 0;
  quint32 height = 0;
  bool progressive = false;
  QList<JpegComponent> components;
  int componentsInFirstScan = 0;
  qint64 firstScanData = 0;  // where the first scan's coded data begins
};

bool IsStartOfFrame(int marker) {
  return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

bool ReadFrame(const QByteArray& segment, JpegFrame* frame) {
  if (segment.size() < 6) return false;
  frame->height = Be16(segment, 1);
  frame->width = Be16(segment, 3);
  const int count = U8(segment, 5);
  if (count == 0 || segment.size() < 6 + 3 * count) return false;
  for (int i = 0; i < count; ++i) {
    const int factors = U8(segment, 6 + 3 * i + 1);
    frame->components.append({factors >> 4, factors & 15});
  }
  return true;
}

// The next marker at or after at, as libjpeg finds it: anything up to the
// next 0xFF is skipped (libjpeg warns), runs of 0xFF are fill. -1 at the end
// of the file; at is left just past the marker.
int NextMarker(Header& header, qint64* at) {
  *at = header.Find(*at, '\xff');
  if (*at < 0) return -1;
  while (header.Byte(*at) == 0xff) ++*at;
  const int marker = header.Byte(*at);
  ++*at;
  return marker;
}

bool HasNoLength(int marker) { return (marker >= 0xd0 && marker <= 0xd8) || marker == 0x01; }

// Walks the markers as libjpeg's jpeg_read_header() does, up to the first
// scan: the frame's size and sampling, whether it is progressive, and how
// many components the first scan holds (fewer than all: several scans).
bool ReadJpegFrame(Header& header, JpegFrame* frame) {
  if (header.At(0, 2) != QByteArray("\xff\xd8", 2)) return false;
  bool haveFrame = false;
  qint64 at = 2;
  for (;;) {
    const int marker = NextMarker(header, &at);
    if (marker < 0) return false;
    if (HasNoLength(marker)) continue;
    const QByteArray length = header.At(at, 2);
    if (length.size() != 2 || Be16(length, 0) < 2 || marker == 0xd9) return false;
    const QByteArray segment = header.At(at + 2, Be16(length, 0) - 2);
    if (IsStartOfFrame(marker)) {
      if (haveFrame || !ReadFrame(segment, frame)) return false;
      frame->progressive = marker == 0xc2 || marker == 0xc6 || marker == 0xca || marker == 0xce;
      haveFrame = true;
    } else if (marker == 0xda) {
      if (!haveFrame || segment.isEmpty()) return false;
      frame->componentsInFirstScan = U8(segment, 0);
      frame->firstScanData = at + Be16(length, 0);
      return true;
    }
    at += Be16(length, 0);
  }
}

bool InScans(const JpegFrame& frame) {
  return frame.progressive || frame.componentsInFirstScan < frame.components.size();
}

// The scans of a JPEG whose first scan's data begins at from: its coded data
// runs up to the next marker that is neither a stuffed 0xFF nor a restart.
int CountScans(Header& header, qint64 from) {
  int scans = 1;
  qint64 at = from;
  for (;;) {
    const int marker = NextMarker(header, &at);
    if (marker < 0 || marker == 0xd9) return scans;
    if (marker == 0 || HasNoLength(marker)) continue;
    if (marker == 0xda) ++scans;
    const QByteArray length = header.At(at, 2);
    if (length.size() != 2) return scans;
    at += Be16(length, 0);
  }
}

Bytes RoundedUp(Bytes value, int multiple) { return std::ceil(value / multiple) * multiple; }

// libjpeg decodes row by row, at 1/8 to 1/1 of the size as asked, except when
// the picture comes in several scans (progressive, or one component at a
// time): then it keeps every block of coefficients of the whole picture,
// 64 coefficients of 2 bytes, whatever the size asked for.
Bytes JpegCost(Header& header) {
  JpegFrame frame;
  if (!ReadJpegFrame(header, &frame) || frame.width == 0 || frame.height == 0) return -1;
  int hMax = 0;
  int vMax = 0;
  for (const JpegComponent& c : frame.components) {
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return -1;
    hMax = std::max(hMax, c.h);
    vMax = std::max(vMax, c.v);
  }
  const Bytes count = Bytes(frame.components.size());
  // Row groups for colour conversion, upsampling and context rows.
  Bytes cost = Bytes(frame.width) * count * vMax * 8 * 4;
  if (InScans(frame)) {
    for (const JpegComponent& c : frame.components) {
      const Bytes columns = RoundedUp(std::ceil(Bytes(frame.width) * c.h / (8.0 * hMax)), c.h);
      const Bytes rows = RoundedUp(std::ceil(Bytes(frame.height) * c.v / (8.0 * vMax)), c.v);
      cost += columns * rows * 64 * 2;
    }
  }
  return cost;
}

// --- PNG: Qt decodes the whole picture, then shrinks or cuts it.

Bytes PngCostAt(Header& header, qint64 offset) {
  const QByteArray ihdr = header.At(offset, 8 + 8 + 13);
  if (ihdr.size() < 29 || !ihdr.startsWith("\x89PNG\r\n\x1a\n") || ihdr.mid(12, 4) != "IHDR") {
    return -1;
  }
  const Bytes width = Be32(ihdr, 16);
  const Bytes height = Be32(ihdr, 20);
  if (width == 0 || height == 0) return -1;
  // 16 bits a channel come out as 64-bit pixels; the rest as 32-bit ones.
  const Bytes pixel = U8(ihdr, 24) == 16 ? 8 : 4;
  return width * height * pixel + 2 * width * 8;
}

// --- GIF: Qt's reader paints every frame into a picture of the logical
// screen's size and keeps the frame's area for the next frame's disposal.

Bytes GifCost(Header& header) {
  // Qt's reader, picked by a file's ".gif", decodes whatever version the
  // signature names (the fuzzer's "GIF20a"), so the signature is not checked.
  const QByteArray screen = header.At(0, 13);
  if (screen.size() < 13) return -1;
  const Bytes width = Le16(screen, 6);
  const Bytes height = Le16(screen, 8);
  qint64 at = 13;
  if (U8(screen, 10) & 0x80) at += 3 << ((U8(screen, 10) & 7) + 1);
  for (;;) {
    const QByteArray block = header.At(at, 10);
    if (block.isEmpty() || U8(block, 0) == 0x3b) return 8 * width * height;
    if (U8(block, 0) == 0x2c) {
      if (block.size() < 10) return 8 * width * height;
      const Bytes right = Le16(block, 1) + Bytes(Le16(block, 5));
      const Bytes bottom = Le16(block, 3) + Bytes(Le16(block, 7));
      return 4 * width * height + 4 * std::max(width, right) * std::max(height, bottom);
    }
    if (U8(block, 0) != 0x21 || block.size() < 2) return -1;
    // An extension: its label, then sub-blocks up to an empty one.
    at += 2;
    for (QByteArray length = header.At(at, 1); !length.isEmpty() && U8(length, 0) != 0;
         length = header.At(at, 1)) {
      at += 1 + U8(length, 0);
    }
    ++at;
  }
}

// --- ICO and CUR: each entry is a PNG or a bitmap without its file header,
// whose own header may claim far more than the directory's byte-sized
// width and height. Any entry may be the one read, so the dearest counts.

Bytes IcoCost(Header& header) {
  const QByteArray directory = header.At(0, 6);
  if (directory.size() < 6) return -1;
  const int count = int(Le16(directory, 4));
  Bytes dearest = 0;
  for (int i = 0; i < count; ++i) {
    const QByteArray entry = header.At(6 + 16 * i, 16);
    if (entry.size() < 16) break;
    const qint64 offset = quint32(Le32(entry, 12));
    Bytes cost = PngCostAt(header, offset);
    if (cost < 0) {
      const QByteArray bitmap = header.At(offset, 12);
      const Bytes width = std::max<Bytes>(U8(entry, 0) == 0 ? 256 : U8(entry, 0),
                                          bitmap.size() == 12 ? Le32(bitmap, 4) : 0);
      const Bytes height = std::max<Bytes>(U8(entry, 1) == 0 ? 256 : U8(entry, 1),
                                           bitmap.size() == 12 ? Le32(bitmap, 8) / 2.0 : 0);
      // The picture and its mask.
      cost = 8 * std::abs(width) * std::abs(height);
    }
    dearest = std::max(dearest, cost);
  }
  return dearest;
}

// --- Every other format (BMP, and those of Qt's image format plugins: TIFF,
// WebP, TGA, ...): the decoded picture at full size, and as much again for
// the decoder's own copy (libwebp's and libtiff's buffers, a conversion).

Bytes OtherCost(QSize size, QImage::Format imageFormat) {
  if (!size.isValid()) return -1;
  const int depth = imageFormat == QImage::Format_Invalid
                        ? 64
                        : QImage::toPixelFormat(imageFormat).bitsPerPixel();
  const Bytes pixel = std::max(4, depth / 8);
  return 2 * pixel * size.width() * Bytes(size.height());
}

// The format by its first bytes, for readers that do not name their own
// (Qt's ICO reader names none).
QByteArray Sniffed(Header& header) {
  const QByteArray start = header.At(0, 8);
  if (start.startsWith("\xff\xd8")) return "jpeg";
  if (start.startsWith("\x89PNG")) return "png";
  if (start.startsWith("GIF8")) return "gif";
  if (start.startsWith(QByteArray("\0\0\x01\0", 4))) return "ico";
  if (start.startsWith(QByteArray("\0\0\x02\0", 4))) return "cur";
  return {};
}

// --- Time: what a decoder spends far beyond a photo of the same size.

// Each scan of a JPEG is a pass over the coefficients of the whole picture,
// so their number is capped as libjpeg-turbo's own tools cap it
// (djpeg -maxscans), and tighter for a large picture: a 100-megapixel photo
// may have 200 scans, which libjpeg-turbo decodes in well under a second.
constexpr int kMostScans = 1000;
constexpr Bytes kMostScanPixels = 2e10;

QString ScanRefusal(Header& header) {
  JpegFrame frame;
  if (!ReadJpegFrame(header, &frame) || !InScans(frame)) return {};
  const Bytes pixels = std::max<Bytes>(1, Bytes(frame.width) * frame.height);
  const int most = int(std::min<Bytes>(kMostScans, std::floor(kMostScanPixels / pixels)));
  const int scans = CountScans(header, frame.firstScanData);
  if (scans <= most) return {};
  return QStringLiteral("it holds %1 scans, more than the %2 that a %3 x %4 JPEG may hold")
      .arg(scans)
      .arg(most)
      .arg(frame.width)
      .arg(frame.height);
}

// The fewest bytes the pixels of an uncompressed (or, for TGA, run-length
// coded) picture take; -1 for a file whose kind this does not know. A reader
// handed a file far shorter than that reads to its end once for every
// missing pixel.
Bytes TgaLeast(Header& header) {
  const QByteArray h = header.At(0, 18);
  if (h.size() < 18) return -1;
  const Bytes pixels = Bytes(Le16(h, 12)) * Le16(h, 14);
  const Bytes bytes = std::max(1, (U8(h, 16) + 7) / 8);
  switch (U8(h, 2)) {
    case 1:
    case 2:
    case 3:
      return pixels * bytes;
    case 9:
    case 10:
    case 11:
      // A run of up to 128 pixels takes a count byte and one pixel.
      return std::ceil(pixels / 128) * (1 + bytes);
    default:
      return -1;
  }
}

Bytes BmpLeast(Header& header) {
  const QByteArray h = header.At(0, 34);
  if (h.size() < 26 || !h.startsWith("BM")) return -1;
  const bool core = Le32(h, 14) == 12;
  const Bytes width = core ? Le16(h, 18) : std::abs(Bytes(Le32(h, 18)));
  const Bytes height = core ? Le16(h, 20) : std::abs(Bytes(Le32(h, 22)));
  const Bytes bits = core ? Le16(h, 24) : Le16(h, 28);
  const quint32 compression = core ? 0 : quint32(Le32(h, 30));
  // Only plain pixels and bit fields; run-length codes may skip pixels.
  if (compression != 0 && compression != 3 && compression != 6) return -1;
  return std::ceil(width * bits / 32) * 4 * height;
}

// PBM, PGM and PPM: a number of bytes for each sample in the raw kinds, at
// least one character in the plain ones.
Bytes PnmLeast(Header& header, QSize size) {
  const QByteArray h = header.At(0, 2);
  if (h.size() < 2 || h[0] != 'P' || !size.isValid()) return -1;
  const Bytes width = size.width();
  const Bytes pixels = width * size.height();
  switch (h[1]) {
    case '1':
    case '2':
    case '5':
      return pixels;
    case '3':
    case '6':
      return 3 * pixels;
    case '4':
      return std::ceil(width / 8) * size.height();
    default:
      return -1;
  }
}

// libpng decodes every byte of every row, whatever size is asked for, and
// Qt stores 16-bit samples as 8 bytes a pixel: a 16-bit PNG of 100
// megapixels takes about 3 s here, most of it libpng's and zlib's own work,
// where a JPEG photo of that size takes well under one.
constexpr Bytes kMostPngBytes = Bytes(512 << 20);

QString PngRefusal(Header& header) {
  const QByteArray ihdr = header.At(0, 8 + 8 + 13);
  if (ihdr.size() < 29) return {};
  const Bytes bytes = PngCostAt(header, 0);
  if (bytes <= kMostPngBytes) return {};
  return QStringLiteral(
             "its %1 x %2 pixels of %3 bits a sample unpack to %4 MB, more than the %5 MB that "
             "decode in a few seconds")
      .arg(Be32(ihdr, 16))
      .arg(Be32(ihdr, 20))
      .arg(U8(ihdr, 24))
      .arg(qint64(bytes) >> 20)
      .arg(qint64(kMostPngBytes) >> 20);
}

QString ShortFileRefusal(Header& header, const QByteArray& format, QSize size) {
  Bytes least = -1;
  if (format == "tga") least = TgaLeast(header);
  if (format == "bmp") least = BmpLeast(header);
  if (format == "pbm" || format == "pgm" || format == "ppm") least = PnmLeast(header, size);
  if (least < 0 || Bytes(header.FileSize()) >= least) return {};
  return QStringLiteral("it is %1 bytes long, shorter than the %2 bytes its %3 x %4 pixels take")
      .arg(header.FileSize())
      .arg(qint64(least))
      .arg(size.width())
      .arg(size.height());
}

}  // namespace

qint64 DecodeCostBytes(QIODevice& file, const QByteArray& format, QSize size,
                       const std::function<QImage::Format()>& imageFormat) {
  Header header(file);
  const QByteArray kind = format.isEmpty() ? Sniffed(header) : format;
  Bytes cost = -1;
  if (kind == "jpeg") cost = JpegCost(header);
  if (kind == "png") cost = PngCostAt(header, 0);
  // The size these readers report is that of one frame or entry, which may
  // be the larger one; it counts as a picture of 64 bits a pixel.
  if (kind == "gif") cost = std::max(GifCost(header), OtherCost(size, QImage::Format_Invalid));
  if (kind == "ico" || kind == "cur") {
    cost = std::max(IcoCost(header), OtherCost(size, QImage::Format_Invalid));
  }
  // A header this reading does not follow still costs a full-size picture.
  return Clamped(cost >= 0 ? cost : OtherCost(size, imageFormat()));
}

qint64 EarlyDecodeCostBytes(QIODevice& file, const QByteArray& suffix) {
  Header header(file);
  if (suffix != "gif" && Sniffed(header) != "gif") return -1;
  return Clamped(GifCost(header));
}

QString DecodeTimeRefusal(QIODevice& file, const QByteArray& format, QSize size) {
  Header header(file);
  if (format == "jpeg") return ScanRefusal(header);
  if (format == "png") return PngRefusal(header);
  return ShortFileRefusal(header, format, size);
}
