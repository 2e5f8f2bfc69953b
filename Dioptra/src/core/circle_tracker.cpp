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
  int c = (box_.right - box_.left) / 2;
  switch (handle) {
    case HANDLE_TOP: c = centre_.y - y; break;
    case HANDLE_RIGHT: c = x - centre_.x; break;
    case HANDLE_BOTTOM: c = y - centre_.y; break;
    case HANDLE_LEFT: c = centre_.x - x; break;
    case HANDLE_CENTRE:
      centre_ = {std::clamp(x, bounds_.left, std::max(bounds_.left, bounds_.right)),
                 std::clamp(y, bounds_.top, std::max(bounds_.top, bounds_.bottom))};
      break;
    default: return;
  }
  // A side handle pulled across the centre collapses the circle to its
  // centre instead of turning the box inside out.
  c = std::clamp(c, 0, std::max(0, max_radius_));
  box_ = {centre_.x - c, centre_.y - c, centre_.x + c, centre_.y + c};
  update_handles();
}

CCircleTracker CCircleTracker::CloneForDrag() const {
  CCircleTracker clone;
  clone.SetCircleBox(box_);
  clone.SetBounds(bounds_);
  clone.SetMaxRadius(max_radius_);
  return clone;
}

}  // namespace dioptra
