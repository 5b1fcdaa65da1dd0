#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Whole-picture decodes for the wallpaper routes. Each one checks the file
// first (picture/PictureReader.h) and raises its numbered error, with a cause
// naming the file, when it is missing, unreadable, no picture, too dear to
// decode, or does not decode.

// Proves that the picture decodes, as cheaply as its decoder allows: a JPEG
// at an eighth of its size, which still reads every coded byte of it.
void CheckDecodes(const QString& file);

// The whole picture, upright.
QImage DecodeUpright(const QString& file);

// The picture scaled so that it covers a screen of the given size, keeping
// its proportions, and cut to that size around its centre, upright. A photo
// far larger than the screen is decoded at a fraction of its size (JPEG does
// that directly), so it is never held at full size.
QImage DecodeToCover(const QString& file, QSize screen);
