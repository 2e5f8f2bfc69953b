#pragma once

namespace orb {

// What a viewport shows; the numbers are shared with the player interface.
enum DrawMode : int {
  DRAW_MODE_SOURCE = 0,         // the source picture, one flat quad
  DRAW_MODE_PANORAMA = 1,       // flat 2:1 unwrapped panorama
  DRAW_MODE_PERSPECTIVE = 2,    // inside the sphere, 120 degrees wide
  DRAW_MODE_LITTLE_PLANET = 3,  // from the sphere's surface, very wide
  DRAW_MODE_ORTHOGRAPHIC = 4,   // the sphere from outside, orthographic
  DRAW_MODE_WIDE_ANGLE = 5,     // inside the sphere, field from the diagonal
};

inline constexpr int kDrawModeCount = 6;

// Also refuses negative values, as an unsigned comparison would.
constexpr bool is_valid_draw_mode(int mode) { return mode >= 0 && mode < kDrawModeCount; }

}  // namespace orb
