#pragma once
// Short fisheye clips as cameras record them, with the lens circle known:
// a lens that darkens towards its rim and fringes blue there, some circles
// cut at top and bottom, a clock burned in that changes every second, a
// camera name, a halo, a first two seconds in the dark, a shadow that
// moves over the rim. Shared by the video-detection tests and the calibration benchmark.
#include <random>
#include <string>

namespace orb::test {

enum class ClipKind {
  kClock,        // date and time ticking in a corner, the camera's name in another
  kDarkStart,    // the first two seconds dark but for the clock
  kMovingShade,  // a shadow over a third of the rim that moves every second
  kHaloFringe,   // a reflection halo outside the rim, with the clock
  kCount,
};

const char* clip_kind_name(ClipKind kind);

struct CameraClip {
  float cx = 0, cy = 0, radius = 0;  // pixel-centre coordinates
  double seconds = 0;
};

// Writes the clip to `path` (H.264 in the container its extension names);
// returns the circle, or a radius of 0 with `error` set.
CameraClip write_camera_clip(const std::string& path, ClipKind kind, int width, int height, std::mt19937& rng,
                             std::string& error);

}  // namespace orb::test
