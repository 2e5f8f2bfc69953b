#include "display_geometry.h"

#include <algorithm>
#include <cmath>

namespace dioptra {

float display_ratio(int columns, int rows) {
  const float ratio =
      std::max(static_cast<float>(rows) / kPictureAreaHeight, static_cast<float>(columns) / kPictureAreaWidth);
  return ratio > 0 ? ratio : 1.0f;
}

Point to_display(float x, float y, float ratio) {
  return {static_cast<int>(std::floor((x + 0.5f) / ratio)),
          static_cast<int>(std::floor(static_cast<double>((y + 0.5f) / ratio) + kTitleHeight))};
}

float from_display_x(float x_d, float ratio) { return x_d * ratio - 0.5f; }
float from_display_y(float y_d, float ratio) { return (y_d - kTitleHeight) * ratio - 0.5f; }

Box picture_box(int columns, int rows, float ratio) {
  return {0, kTitleHeight, static_cast<int>(static_cast<float>(columns) / ratio),
          kTitleHeight + static_cast<int>(static_cast<float>(rows) / ratio)};
}

Box circle_box(float cx, float cy, float radius, float ratio) {
  const Point top_left = to_display(cx - radius, cy - radius, ratio);
  const Point bottom_right = to_display(cx + radius, cy + radius, ratio);
  return {top_left.x, top_left.y, bottom_right.x, bottom_right.y};
}

}  // namespace dioptra
