#include "my_slider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace ostrel {

MySlider::MySlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

int MySlider::value_at(const QPoint& pos) const {
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
  const int span = width() - handle.width();
  return QStyle::sliderValueFromPosition(minimum(), maximum(), pos.x() - handle.width() / 2, span > 0 ? span : 1,
                                         opt.upsideDown);
}

void MySlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QSlider::mousePressEvent(event);
  dragging_ = true;
  setValue(value_at(event->position().toPoint()));
  emit preview(value());
  event->accept();
}

void MySlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QSlider::mouseMoveEvent(event);
  setValue(value_at(event->position().toPoint()));
  emit preview(value());
  event->accept();
}

void MySlider::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return QSlider::mouseReleaseEvent(event);
  setValue(value_at(event->position().toPoint()));
  dragging_ = false;
  emit committed(value());
  event->accept();
}

}  // namespace ostrel

namespace ostrel {

void MySlider::hideEvent(QHideEvent* event) {
  dragging_ = false;
  QSlider::hideEvent(event);
}

}  // namespace ostrel
