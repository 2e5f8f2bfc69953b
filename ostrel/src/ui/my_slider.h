#pragma once
// The seek slider. A press jumps to the pointer and starts a drag; while
// dragging, every move reports the value for a preview without seeking;
// the release reports the value to seek to, once.
#include <QSlider>

namespace ostrel {

class MySlider : public QSlider {
  Q_OBJECT
 public:
  explicit MySlider(QWidget* parent = nullptr);
  bool dragging() const { return dragging_; }

 signals:
  void preview(int value);
  void committed(int value);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Hidden mid-drag (the file ended): the drag is dropped, nothing seeks.
  void hideEvent(QHideEvent* event) override;

 private:
  int value_at(const QPoint& pos) const;
  bool dragging_ = false;
};

}  // namespace ostrel
