#pragma once
// How far each pixel's colour lies from the colour around the lens. The
// surround is black on most cameras, dark grey in video levels and white
// on a picture cut from a page; the picture differs from it either way,
// and a coloured fringe at the rim, bright in one channel only, counts as
// the picture it belongs to.
#include <opencv2/core.hpp>

namespace orb::lens {

// The surround's colour: the middle of what the frame's four corners show
// (outside any lens circle that fits the frame; text over one corner is
// outvoted by the others).
cv::Vec3b surround_colour(const cv::Mat& bgr);

// The largest of the three channels' distances from `surround`, 8 bits.
cv::Mat contrast_image(const cv::Mat& bgr, const cv::Vec3b& surround);

}  // namespace orb::lens
