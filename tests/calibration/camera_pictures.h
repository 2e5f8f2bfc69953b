#pragma once
// Fisheye pictures as real cameras deliver them, with the circle known:
// off-centre and cut circles, night scenes, a lens housing around the
// circle, low-contrast rims, flat discs, burned-in text, halos, fringes,
// shadowed rims, light surrounds, sensor noise, vignetting and JPEG; and
// pictures with no lens circle at all. Shared by the detection tests
// and the calibration benchmark.
#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

namespace orb::test {

enum class PictureKind {
  kScene,          // the synthetic room, centred within 5 %
  kOffCentre,      // centre up to 15 % of the frame off the middle
  kCutCircle,      // taller than the frame: cut at top and bottom
  kDarkScene,      // night: the content at a tenth to a quarter of its light
  kHousing,        // a dark grey ring (the lens housing) outside the circle
  kLowContrast,    // strong vignetting and a lifted black surround
  kFlatDisc,       // a plain bright or dark disc on black
  kText,           // date, time and camera name burned into the corners, a line across the rim
  kHalo,           // a bright bluish reflection ring just outside the rim
  kFringe,         // a purple or blue chromatic fringe at the rim
  kDarkRim,        // a third of the rim in shadow, as dark as the surround
  kCutFringe,      // cut at top and bottom, with a fringe and text
  kLightSurround,  // a white surround, as a picture cut from a page
  kTestPattern,    // colour bars and a checkerboard
  kSeaRim,         // dark blue sea along the lower rim
  kRecording,      // a security camera's picture: several of the above together, soft and compressed
  kCount,
  // Pictures without a lens circle: detection must say so.
  kFullFrame = 100,  // the fisheye picture fills the frame
  kOrdinary,         // an ordinary photograph-like picture
  kBlack,            // a black frame with sensor noise
  kGreyText,         // a uniformly grey frame with a camera's text on it
  // Two lenses side by side (a dual-lens 360° camera, a 2:1 frame of
  // width x width/2): refused as dual-lens, both circles named.
  kDualLens = 200,
};

const char* kind_name(PictureKind kind);

// A circle found right: its centre within max(2 px, 1 % of the radius) of
// the true one, its radius within 1 %.
inline bool circle_within(float cx, float cy, float r, float true_cx, float true_cy, float true_r) {
  return std::hypot(cx - true_cx, cy - true_cy) <= std::max(2.0f, 0.01f * true_r) &&
         std::abs(r - true_r) <= 0.01f * true_r;
}

struct CameraPicture {
  cv::Mat bgr;
  float cx = 0, cy = 0, radius = 0;     // pixel-centre coordinates; radius 0 when there is no circle
  float cx2 = 0, cy2 = 0, radius2 = 0;  // the right lens of a dual-lens picture
  PictureKind kind = PictureKind::kScene;
  int jpeg_quality = 0;
};

// One picture of `kind` at width x height; every random choice comes from rng.
CameraPicture camera_picture(PictureKind kind, int width, int height, std::mt19937& rng);

}  // namespace orb::test
