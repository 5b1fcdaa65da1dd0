#pragma once

#include <QDeadlineTimer>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include "display/DisplayBox.h"

// What the display box shows inside its frame once the picture it asks for
// is decoded (it decodes off the window's thread), and what it shows when it
// holds one line of text only, for comparing pixel by pixel.
inline QImage InnerPicture(DisplayBox* box) {
  QDeadlineTimer deadline(60000);
  for (;;) {
    const QImage drawn = box->grab().toImage();
    if (!box->Decoding() || deadline.hasExpired()) {
      return drawn.copy(box->contentsRect()).convertToFormat(QImage::Format_RGB32);
    }
    while (box->Decoding() && !deadline.hasExpired()) QTest::qWait(1);
  }
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
