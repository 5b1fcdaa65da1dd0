#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

class QIODevice;

// What decoding a picture would cost in memory, judged from its header alone
// before any decoder runs. Qt's allocation limit only checks the size of the
// picture a decoder hands back; a decoder's own buffers can be far larger (a
// progressive JPEG keeps every DCT coefficient of the whole picture, about 2
// bytes per pixel and component, before a single row comes out), so a file
// of a few hundred bytes could otherwise make the program allocate gigabytes.

// The one cap every route shares: the display box, the X11 back-end and the
// check that every wallpaper route makes first. A 100-megapixel photo fits
// in every format: a progressive JPEG with full-resolution colour needs
// 600 MB of coefficients, a 16-bit PNG 800 MB for its decoded picture.
inline constexpr qint64 kDecodeCapBytes = qint64(1) << 30;
// The same cap in the unit of QImageReader::setAllocationLimit().
inline constexpr int kDecodeCapMegabytes = int(kDecodeCapBytes >> 20);

// The bytes that decoding the picture costs at most, at any size the
// program asks for: the decoder's own buffers, and the full-size decoded
// picture for formats that cannot shrink while decoding. format is the name
// of the Qt handler that reads it (QImageReader::format()); size and
// imageFormat are what that handler reports, used for formats without a
// header of their own here. imageFormat is asked only for those: Qt's GIF
// reader decodes the first frame to answer it. Reads the file from its start
// and leaves it at the position it had.
qint64 DecodeCostBytes(QIODevice& file, const QByteArray& format, QSize size,
                       const std::function<QImage::Format()>& imageFormat);

// The cost that must be known before a reader is even asked whether it can
// read the file: Qt's GIF reader decodes the first frame into a picture of
// the logical screen's size to answer canRead(). -1 for other formats. suffix
// is the file's, lower-cased: it picks the reader Qt tries first.
qint64 EarlyDecodeCostBytes(QIODevice& file, const QByteArray& suffix);

// Why decoding the picture would take far longer than a photo of its size,
// in plain words ("it holds 50000 scans, more than the 1000 ..."), judged
// from the file before any decoder runs; empty when it would not. Three kinds
// of file would: a JPEG of very many scans (each one a pass over the whole
// picture), a PNG whose pixels unpack to more than half a gigabyte (16-bit
// samples beyond about 64 megapixels), and a file shorter than the pixels
// its header declares (uncompressed TGA, BMP, PBM/PGM/PPM), which a reader
// reads to its end once for every missing pixel. Reads the file from its start and leaves it at
// the position it had.
QString DecodeTimeRefusal(QIODevice& file, const QByteArray& format, QSize size);
