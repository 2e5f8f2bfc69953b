#pragma once
// The first, rough look at a picture: how dark and how noisy the lens's
// surround is, and roughly where the bright content sits.
#include <opencv2/core.hpp>

#include <optional>

#include "circle_fit.h"

namespace orb::lens {

struct Surround {
  double level = 0;          // brightness of the surround
  double noise = 0;          // its standard deviation
  double threshold() const;  // brighter than this is picture content
};

// From the frame's outer band, where the surround of a lens lies; the
// darker part of the band counts, so a circle cut by the frame still
// leaves its corners to measure.
Surround surround_of(const cv::Mat& picture);

// The content's outer boundary, fitted as a circle from the first and last
// content pixel of every row and column (those on the frame's border are
// left out); the content's centroid and equal-area radius when no circle
// fits. Nothing when there is no content at all.
std::optional<Circle> coarse_circle(const cv::Mat& picture, const Surround& surround);

}  // namespace orb::lens
