#include "contrast_image.h"

#include <algorithm>
#include <array>
#include <vector>

namespace orb::lens {
namespace {

std::uint8_t median(std::vector<std::uint8_t>& v) {
  auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), middle, v.end());
  return *middle;
}

}  // namespace

cv::Vec3b surround_colour(const cv::Mat& bgr) {
  // Patches of 3 % of each side, one pixel in from the corner.
  const int pw = std::max(2, bgr.cols * 3 / 100), ph = std::max(2, bgr.rows * 3 / 100);
  const int x0s[2] = {std::min(1, bgr.cols - pw), std::max(0, bgr.cols - 1 - pw)};
  const int y0s[2] = {std::min(1, bgr.rows - ph), std::max(0, bgr.rows - 1 - ph)};
  std::array<std::vector<std::uint8_t>, 3> corners;  // per channel, the four corners' medians
  for (const int y0 : y0s) {
    for (const int x0 : x0s) {
      std::array<std::vector<std::uint8_t>, 3> patch;
      for (int y = y0; y < std::min(bgr.rows, y0 + ph); ++y) {
        const auto* row = bgr.ptr<cv::Vec3b>(y);
        for (int x = x0; x < std::min(bgr.cols, x0 + pw); ++x)
          for (int c = 0; c < 3; ++c) patch[c].push_back(row[x][c]);
      }
      for (int c = 0; c < 3; ++c) corners[c].push_back(median(patch[c]));
    }
  }
  // Of four, the mean of the middle two: one odd corner does not count.
  cv::Vec3b out;
  for (int c = 0; c < 3; ++c) {
    std::sort(corners[c].begin(), corners[c].end());
    out[c] = static_cast<std::uint8_t>((corners[c][1] + corners[c][2] + 1) / 2);
  }
  return out;
}

cv::Mat contrast_image(const cv::Mat& bgr, const cv::Vec3b& surround) {
  cv::Mat difference;
  cv::absdiff(bgr, cv::Scalar(surround[0], surround[1], surround[2]), difference);
  cv::Mat channels[3];
  cv::split(difference, channels);
  cv::Mat out;
  cv::max(channels[0], channels[1], out);
  cv::max(out, channels[2], out);
  return out;
}

}  // namespace orb::lens
