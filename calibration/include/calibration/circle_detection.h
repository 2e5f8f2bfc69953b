#pragma once
// The image circle of a fisheye lens in one still picture: downscale, blur,
// automatic Canny thresholds, rim points from both sides, and a random-
// sample circle fit refined by least squares.
#include <opencv2/core.hpp>

#include <cstdint>
#include <optional>
#include <vector>

namespace orb {

struct CircleDetectParams {
  float nonEdgeFraction = 0.7f;  // share of working-image pixels taken as not on an edge
};

struct RimPoint {
  std::int32_t x, y;  // working-image pixels
};

// Callers preset the radius to this value: no valid radius is that large.
inline constexpr float kNoCircleRadius = 921.0f;
// Longer side of the working image.
inline constexpr int kWorkingSize = 640;

// Gradient-histogram thresholds for Canny, as fractions of 255.
void ComputeCannyThresholds(const cv::Mat& blurred, const CircleDetectParams& params, double& low, double& high);

// The first edge pixel of every row seen from the left, then from the
// right; a pixel with edges both above and below in its column is skipped.
std::vector<RimPoint> CollectRimPoints(const cv::Mat& edges);

// Fits a circle to the rim points (w x h working image). True when a circle
// within the limits wins; cx, cy, radius then hold it. `seed` fixes the
// random samples (tests); without it they come from the clock.
bool FitCircleRansac(const std::vector<RimPoint>& points, int w, int h, float& cx, float& cy, float& radius,
                     std::optional<std::uint32_t> seed = std::nullopt);

// The circle in a BGR picture, in picture pixels. False when there is none
// (an empty picture leaves cx, cy, radius untouched).
bool DetectFisheyeCircle(const cv::Mat& picture, const CircleDetectParams& params, float& cx, float& cy,
                         float& radius, std::optional<std::uint32_t> seed = std::nullopt);

}  // namespace orb
