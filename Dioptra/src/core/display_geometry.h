#pragma once
// Where the picture sits in the window: below the 32-pixel title band,
// scaled to fit 800 × 600 (small pictures are enlarged).
#include "circle_tracker.h"

namespace dioptra {

inline constexpr int kTitleHeight = 32;
inline constexpr int kPictureAreaWidth = 800;
inline constexpr int kPictureAreaHeight = 600;

// Picture pixels per display pixel.
float display_ratio(int columns, int rows);
Point to_display(float x, float y, float ratio);
// The circle's bounding box in display pixels.
Box circle_box(float cx, float cy, float radius, float ratio);

}  // namespace dioptra
