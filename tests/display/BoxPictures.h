#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>

// What the display box shows inside its frame, and what it shows when it
// holds one line of text only, for comparing pixel by pixel.
inline QImage InnerPicture(QWidget* box) {
  return box->grab().toImage().copy(box->contentsRect()).convertToFormat(QImage::Format_RGB32);
}

// The cleared box with one line of text at its top-left corner.
inline QImage TextLinePicture(QWidget* box, const QString& line) {
  QImage image(box->contentsRect().size(), QImage::Format_RGB32);
  image.fill(box->palette().color(box->backgroundRole()));
  QPainter painter(&image);
  painter.setFont(box->font());
  painter.setPen(box->palette().color(box->foregroundRole()));
  painter.drawText(QPoint(0, painter.fontMetrics().ascent()), line);
  return image;
}
