#include "display_geometry.h"

#include <algorithm>

namespace dioptra {

float display_ratio(int columns, int rows) {
  const float ratio = std::max(static_cast<float>(rows) / kPictureAreaHeight, static_cast<float>(columns) / kPictureAreaWidth);
  return ratio > 0 ? ratio : 1.0f;
}

Point to_display(float x, float y, float ratio) {
  return {static_cast<int>(x / ratio), static_cast<int>(static_cast<double>(y / ratio) + kTitleHeight)};
}

Box circle_box(float cx, float cy, float radius, float ratio) {
  const Point top_left = to_display(cx - radius, cy - radius, ratio);
  const Point bottom_right = to_display(cx + radius, cy + radius, ratio);
  return {top_left.x, top_left.y, bottom_right.x, bottom_right.y};
}

}  // namespace dioptra
