#pragma once
// The circle drawn over the picture with its five drag handles (top,
// right, bottom, left, centre), in display pixels: hit tests, and the drag
// rules: the centre stays on the picture, the radius between 0 and a
// maximum (a cut circle reaches past the picture's edges).
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

  // Handles drawn this many pixels wide: large enough to grab.
  static constexpr int kHandleSize = 12;

  void SetCircleBox(const Box& box);
  // Where the centre may go (the picture), and the largest radius.
  void SetBounds(const Box& bounds) { bounds_ = bounds; }
  void SetMaxRadius(int radius) { max_radius_ = radius; }
  Box GetBox() const { return box_; }
  Point centre() const { return centre_; }
  Point handle(int index) const { return handles_[static_cast<std::size_t>(index)]; }
  int current_handle() const { return current_; }

  // The first handle (in index order) within reach of (x, y), which becomes
  // the current one; -1 (current unchanged) when none is.
  int HitTest(int x, int y);
  // Drags `handle` to (x, y): a side handle changes the radius (never below
  // 0, never above the maximum), the centre handle moves the circle within
  // the bounds and keeps its radius.
  void DragHandle(int handle, int x, int y);
  // A tracker for one drag, starting from this one's box.
  CCircleTracker CloneForDrag() const;

 private:
  void update_handles();

  int current_ = HANDLE_TOP;
  std::array<Point, 5> handles_{};
  Box box_;
  Box bounds_;  // the centre's min x, min y, max x, max y
  int max_radius_ = 1 << 20;
  Point centre_;
};

}  // namespace dioptra
