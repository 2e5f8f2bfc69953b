#pragma once
// The circle drawn over the picture with its five drag handles (top,
// right, bottom, left, centre), in display pixels: hit tests, and the drag
// rules that keep the circle inside its bounds.
#include <array>

namespace dioptra {

enum Handle : int { HANDLE_TOP = 0, HANDLE_RIGHT = 1, HANDLE_BOTTOM = 2, HANDLE_LEFT = 3, HANDLE_CENTRE = 4 };

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Box&) const = default;
};

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

class CCircleTracker {
 public:
  // How far from a handle (in both directions) a press still takes it.
  static constexpr int kReach = 30;

  void SetCircleBox(const Box& box);
  void SetBounds(const Box& bounds) { bounds_ = bounds; }
  Box GetBox() const { return box_; }
  Point centre() const { return centre_; }
  Point handle(int index) const { return handles_[static_cast<std::size_t>(index)]; }
  int current_handle() const { return current_; }

  // The first handle (in index order) within reach of (x, y), which becomes
  // the current one; -1 (current unchanged) when none is.
  int HitTest(int x, int y);
  // Drags `handle` to (x, y): a side handle changes the radius, the centre
  // handle moves the circle; either way the circle stays inside the bounds
  // (the radius shrinks) and never turns inside out.
  void DragHandle(int handle, int x, int y);
  // A tracker for one drag, starting from this one's box.
  CCircleTracker CloneForDrag() const;

 private:
  void update_handles();

  int current_ = HANDLE_TOP;
  std::array<Point, 5> handles_{};
  Box box_;
  Box bounds_;  // min x, min y, max x, max y
  Point centre_;
};

}  // namespace dioptra
