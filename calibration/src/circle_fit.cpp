#include "circle_fit.h"

#include <algorithm>
#include <cmath>

namespace orb::lens {

double Circle::distance(const Point2& p) const { return std::hypot(p.x - cx, p.y - cy) - r; }

std::optional<Circle> circle_through(const Point2& a, const Point2& b, const Point2& c) {
  const double bx = b.x - a.x, by = b.y - a.y, cx = c.x - a.x, cy = c.y - a.y;
  const double d = 2 * (bx * cy - by * cx);
  if (std::abs(d) < 1e-9) return std::nullopt;  // collinear
  const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
  const double ux = (cy * b2 - by * c2) / d, uy = (bx * c2 - cx * b2) / d;
  return Circle{a.x + ux, a.y + uy, std::hypot(ux, uy)};
}

std::optional<Circle> fit_circle(const std::vector<Point2>& points, Circle start) {
  if (points.size() < 3) return std::nullopt;
  Circle c = start;
  for (int iteration = 0; iteration < 20; ++iteration) {
    // Normal equations of J^T J delta = -J^T residual, J rows (-ux, -uy, -1).
    double a[3][3] = {}, g[3] = {};
    for (const Point2& p : points) {
      const double dx = p.x - c.cx, dy = p.y - c.cy, d = std::hypot(dx, dy);
      if (d < 1e-9) continue;
      const double j[3] = {-dx / d, -dy / d, -1.0};
      const double residual = d - c.r;
      for (int row = 0; row < 3; ++row) {
        g[row] += j[row] * residual;
        for (int col = 0; col < 3; ++col) a[row][col] += j[row] * j[col];
      }
    }
    // Solve the 3x3 system by Cramer's rule.
    auto det3 = [](const double m[3][3]) {
      return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
             m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const double det = det3(a);
    if (!(std::abs(det) > 1e-12)) return std::nullopt;
    double delta[3];
    for (int k = 0; k < 3; ++k) {
      double m[3][3];
      for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) m[row][col] = col == k ? -g[row] : a[row][col];
      delta[k] = det3(m) / det;
    }
    c.cx += delta[0];
    c.cy += delta[1];
    c.r += delta[2];
    if (!std::isfinite(c.cx) || !std::isfinite(c.cy) || !(c.r > 0) || !std::isfinite(c.r)) return std::nullopt;
    if (std::abs(delta[0]) + std::abs(delta[1]) + std::abs(delta[2]) < 1e-6) break;
  }
  return c;
}

std::optional<RobustFit> fit_circle_robust(const std::vector<Point2>& points, Circle start, double floor) {
  RobustFit out;
  out.circle = start;
  std::vector<double> residuals(points.size());
  for (int round = 0; round < 8; ++round) {
    // Keep what lies near the current circle, then fit to that alone.
    for (std::size_t i = 0; i < points.size(); ++i) residuals[i] = std::abs(out.circle.distance(points[i]));
    std::vector<double> sorted = residuals;
    auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    const double limit = std::max(3 * 1.4826 * *middle, floor);
    std::vector<Point2> kept;
    std::vector<bool> inlier(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
      inlier[i] = residuals[i] <= limit;
      if (inlier[i]) kept.push_back(points[i]);
    }
    if (round > 0 && inlier == out.inlier) break;
    out.inlier = std::move(inlier);
    const std::optional<Circle> fitted = fit_circle(kept, out.circle);
    if (!fitted) return std::nullopt;
    out.circle = *fitted;
  }
  double sum = 0;
  out.inliers = 0;
  for (const Point2& p : points) out.distances.push_back(out.circle.distance(p));
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!out.inlier[i]) continue;
    sum += out.distances[i] * out.distances[i];
    ++out.inliers;
  }
  out.rms = std::sqrt(sum / std::max(1, out.inliers));
  return out;
}

}  // namespace orb::lens
