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
// Picture positions are pixel-centre coordinates (0 = the middle of the first
// pixel, as the calibration file holds them); display pixel d covers picture
// [d, d + 1) * ratio measured from the picture's corner.
Point to_display(float x, float y, float ratio);
float from_display_x(float x_d, float ratio);
float from_display_y(float y_d, float ratio);
// The circle's bounding box in display pixels.
Box circle_box(float cx, float cy, float radius, float ratio);
// Where the picture lies in the window, display pixels.
Box picture_box(int columns, int rows, float ratio);

}  // namespace dioptra
