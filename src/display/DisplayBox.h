#pragma once

#include <QFrame>
#include <QPainter>

#include "display/DisplayCache.h"

// The display box: a sunken frame. Each paint event hands a painter to
// whoever draws the box's content, with the origin at the inner top-left
// corner and clipped to the inner area. The box keeps the decoded picture
// for the file and size it shows (its cache, display/DisplayCache.h) and
// repaints itself when a decode it waited for is ready.
class DisplayBox : public QFrame {
  Q_OBJECT

 public:
  explicit DisplayBox(QWidget* parent = nullptr);

  // Inner (drawing) area size in pixels.
  QSize InnerSize() const { return contentsRect().size(); }

  DisplayCache& Cache() { return cache_; }
  // Whether a picture for the box is still being decoded.
  bool Decoding() const { return cache_.Busy(); }

 signals:
  void Paint(QPainter* painter);
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  DisplayCache cache_;
};
