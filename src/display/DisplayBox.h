#pragma once

#include <QFrame>
#include <QPainter>

// The display box: a sunken frame that keeps no drawing of its own. Each
// paint event hands a painter to whoever draws the box's content, with the
// origin at the inner top-left corner and clipped to the inner area, so
// that everything shown is drawn afresh at each repaint.
class DisplayBox : public QFrame {
  Q_OBJECT

 public:
  explicit DisplayBox(QWidget* parent = nullptr);

  // Inner (drawing) area size in pixels.
  QSize InnerSize() const { return contentsRect().size(); }

 signals:
  void Paint(QPainter* painter);
  void Resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};
