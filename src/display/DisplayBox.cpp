#include "display/DisplayBox.h"

#include <QPainter>

DisplayBox::DisplayBox(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(2);
  setFocusPolicy(Qt::StrongFocus);
  connect(&cache_, &DisplayCache::Ready, this, qOverload<>(&QWidget::update));
}

void DisplayBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect inner = contentsRect();
  painter.setClipRect(inner);
  painter.translate(inner.topLeft());
  emit Paint(&painter);
}

void DisplayBox::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  emit Resized();
}
