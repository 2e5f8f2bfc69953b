#pragma once
// The image circle of a fisheye lens in one still picture. The rim is
// where the picture ends and the surround begins, measured as each pixel's
// colour distance from the surround's colour (dark, video-black or white;
// a colour fringe counts as picture): rays from a coarse centre find the
// outward steps along each direction (sub-pixel) and where each ray's
// scene ends, points on the frame's border are never rim points, a
// random-sample consensus over the rays picks the circle with the
// surround's darkness outside it (text and glows outvoted) and peels off
// a housing, halo or glow ring, and a robust geometric fit at full
// resolution refines it. A confidence figure decides whether the circle is
// reported at all; two circles side by side in a 2:1 frame are reported
// as a dual-lens picture, never as one lens.
//
// Coordinates are pixel-centre coordinates: (0, 0) is the middle of the
// top-left pixel, as in the calibration file.
#include <opencv2/core.hpp>

#include <string>
#include <vector>

namespace orb {

struct CircleDetectParams {
  float min_confidence = 0.5f;  // circles below this confidence (0..1) are not reported
};

struct LensCircle {
  bool found = false;
  float cx = 0, cy = 0, radius = 0;           // picture pixels
  float confidence = 0;                       // 0..1
  float residual_px = 0;                      // RMS distance of the rim points from the circle
  int rim_points = 0;                         // points on the fitted rim
  float visible_share = 0;                    // share of the circumference inside the frame
  int picture_width = 0, picture_height = 0;  // of the picture searched
  std::string reason;                         // why nothing was found (empty when found)
  // Two lens circles side by side (a dual-lens 360° picture): `found` stays
  // false, cx, cy, radius hold the left circle and these the right one.
  bool dual_lens = false;
  float second_cx = 0, second_cy = 0, second_radius = 0;
  int frames = 1;  // pictures of a video the judgement was made over
};

// Callers that keep the old in/out convention preset the radius to this.
inline constexpr float kNoCircleRadius = 921.0f;
// Longer side of the working image the coarse search runs on.
inline constexpr int kWorkingSize = 640;

// The circle in a BGR or grayscale picture. Deterministic: the same picture
// gives the same circle.
LensCircle detect_lens_circle(const cv::Mat& picture, const CircleDetectParams& params = {});

// The pictures' brightest value per pixel: several frames of a video show
// the whole circle even where one frame is dark there. All the same size.
cv::Mat combine_frames(const std::vector<cv::Mat>& frames);

// True with cx, cy, radius set when a trustworthy circle was found; false
// leaves them untouched.
bool DetectFisheyeCircle(const cv::Mat& picture, const CircleDetectParams& params, float& cx, float& cy, float& radius);

}  // namespace orb
