#include "circle_tracker.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace dioptra {

void CCircleTracker::SetCircleBox(const Box& box) {
  box_ = box;
  centre_ = {(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  update_handles();
}

void CCircleTracker::update_handles() {
  const int mid_x = (box_.left + box_.right) / 2;
  const int mid_y = (box_.top + box_.bottom) / 2;
  handles_ = {Point{mid_x, box_.top}, Point{box_.right, mid_y}, Point{mid_x, box_.bottom}, Point{box_.left, mid_y},
              centre_};
}

int CCircleTracker::HitTest(int x, int y) {
  for (int i = 0; i < 5; ++i) {
    const Point& h = handles_[static_cast<std::size_t>(i)];
    if (std::abs(h.x - x) <= kReach && std::abs(h.y - y) <= kReach) {
      current_ = i;
      return i;
    }
  }
  return -1;
}

void CCircleTracker::DragHandle(int handle, int x, int y) {
  x = std::clamp(x, bounds_.left, std::max(bounds_.left, bounds_.right));
  y = std::clamp(y, bounds_.top, std::max(bounds_.top, bounds_.bottom));
  int c = 0;
  switch (handle) {
    case HANDLE_TOP: c = centre_.y - y; break;
    case HANDLE_RIGHT: c = x - centre_.x; break;
    case HANDLE_BOTTOM: c = y - centre_.y; break;
    case HANDLE_LEFT: c = centre_.x - x; break;
    case HANDLE_CENTRE:
      c = centre_.x - box_.left;
      centre_ = {x, y};
      break;
    default: return;
  }
  // A side handle pulled across the centre collapses the circle to its
  // centre instead of turning the box inside out.
  c = std::max(c, 0);
  if (centre_.x + c > bounds_.right) c = bounds_.right - centre_.x;
  if (centre_.y + c > bounds_.bottom) c = bounds_.bottom - centre_.y;
  if (centre_.x - c < bounds_.left) c = centre_.x - bounds_.left;
  if (centre_.y - c < bounds_.top) c = centre_.y - bounds_.top;
  c = std::max(c, 0);
  box_ = {centre_.x - c, centre_.y - c, centre_.x + c, centre_.y + c};
  update_handles();
}

CCircleTracker CCircleTracker::CloneForDrag() const {
  CCircleTracker clone;
  clone.SetCircleBox(box_);
  return clone;
}

}  // namespace dioptra
