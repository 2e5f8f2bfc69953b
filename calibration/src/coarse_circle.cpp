#include "coarse_circle.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace orb::lens {

double Surround::threshold() const { return level + std::max(4.0, 6.0 * noise); }

Surround surround_of(const cv::Mat& picture) {
  const int w = picture.cols, h = picture.rows, band = 2;
  std::vector<float> values;
  std::vector<std::pair<float, float>> neighbours;  // pairs four pixels apart along the border
  auto walk = [&](int x, int y, int dx, int dy, int count) {
    for (int i = 0; i < count; ++i, x += dx, y += dy) {
      for (int b = 0; b < band; ++b) {
        const int bx = dx == 0 ? (x == 0 ? x + b : x - b) : x;
        const int by = dy == 0 ? (y == 0 ? y + b : y - b) : y;
        values.push_back(picture.at<float>(by, bx));
      }
      if (i + 4 < count) neighbours.push_back({picture.at<float>(y, x), picture.at<float>(y + 4 * dy, x + 4 * dx)});
    }
  };
  walk(0, 0, 1, 0, w);
  walk(0, h - 1, 1, 0, w);
  walk(0, 0, 0, 1, h);
  walk(w - 1, 0, 0, 1, h);
  std::sort(values.begin(), values.end());
  // The darker 40 %: the surround even when the circle reaches the frame's
  // middle on every side.
  const std::size_t dark = std::max<std::size_t>(1, values.size() * 2 / 5);
  Surround s;
  s.level = values[dark / 2];
  const float dark_limit = values[dark - 1];
  std::vector<double> differences;
  for (const auto& [a, b] : neighbours) {
    if (a <= dark_limit && b <= dark_limit) differences.push_back(std::abs(a - b));
  }
  if (!differences.empty()) {
    auto middle = differences.begin() + static_cast<std::ptrdiff_t>(differences.size() / 2);
    std::nth_element(differences.begin(), middle, differences.end());
    s.noise = 1.4826 * *middle / std::sqrt(2.0);
  }
  return s;
}

std::optional<Circle> coarse_circle(const cv::Mat& picture, const Surround& surround) {
  const int w = picture.cols, h = picture.rows;
  cv::Mat mask;
  cv::compare(picture, surround.threshold(), mask, cv::CMP_GT);
  cv::morphologyEx(mask, mask, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {3, 3}));
  const cv::Moments m = cv::moments(mask, true);
  if (m.m00 < 16) return std::nullopt;

  // Boundary points: half a pixel outside the outermost content pixel.
  std::vector<Point2> points;
  for (int y = 2; y < h - 2; ++y) {
    const auto* row = mask.ptr<std::uint8_t>(y);
    int first = -1, last = -1;
    for (int x = 0; x < w; ++x) {
      if (!row[x]) continue;
      if (first < 0) first = x;
      last = x;
    }
    if (first > 2) points.push_back({first - 0.5, static_cast<double>(y)});
    if (last >= 0 && last < w - 3) points.push_back({last + 0.5, static_cast<double>(y)});
  }
  for (int x = 2; x < w - 2; ++x) {
    int first = -1, last = -1;
    for (int y = 0; y < h; ++y) {
      if (!mask.at<std::uint8_t>(y, x)) continue;
      if (first < 0) first = y;
      last = y;
    }
    if (first > 2) points.push_back({static_cast<double>(x), first - 0.5});
    if (last >= 0 && last < h - 3) points.push_back({static_cast<double>(x), last + 0.5});
  }
  const Circle fallback{m.m10 / m.m00, m.m01 / m.m00, std::sqrt(m.m00 / M_PI)};
  if (points.size() < 12) return fallback;

  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, points.size() - 1);
  const double r_max = std::hypot(w, h);
  Circle best;
  int best_support = 0;
  for (int i = 0; i < 300; ++i) {
    const auto c = circle_through(points[pick(random)], points[pick(random)], points[pick(random)]);
    if (!c || c->r < 4 || c->r > r_max || c->cx < 0 || c->cy < 0 || c->cx > w || c->cy > h) continue;
    const double tolerance = 1.5 + 0.01 * c->r;
    int support = 0;
    for (const Point2& p : points) support += std::abs(c->distance(p)) <= tolerance;
    if (support > best_support) {
      best_support = support;
      best = *c;
    }
  }
  if (best_support < 12) return fallback;
  const auto fitted = fit_circle_robust(points, best, 1.5 + 0.01 * best.r);
  return fitted ? fitted->circle : best;
}

}  // namespace orb::lens
