#pragma once

#include <QByteArray>
#include <QList>

// Makes the program's own picture readers (HEIF, AVIF and JPEG XL where the
// platform has them) known to Qt's image readers. Every PictureReader calls
// it; calls after the first do nothing.
void RegisterPictureFormats();

// The picture formats the program reads, lower-case, as file name suffixes
// ("jpg", "png", "heic", ...): those of the installed readers, less the ones
// whose size cannot be told before decoding (ICNS, MNG), which the cost
// check would refuse every time. The list box's tooltip, the folders dropped
// onto it and the file dialog name these.
QList<QByteArray> ReadFormats();

// Whether the reader of that name (QImageReader::format()) is among them.
bool IsReadFormat(const QByteArray& format);
