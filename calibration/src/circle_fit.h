#pragma once
// Circles through points: the exact circle of three points, and the
// geometric least-squares circle (distances, not the algebraic residual,
// so arcs of a cut circle give no radius bias), with a robust variant that
// drops points far from the consensus.
#include <optional>
#include <vector>

namespace orb::lens {

struct Point2 {
  double x = 0, y = 0;
};

struct Circle {
  double cx = 0, cy = 0, r = 0;
  double distance(const Point2& p) const;  // signed: positive outside
};

std::optional<Circle> circle_through(const Point2& a, const Point2& b, const Point2& c);

// Gauss-Newton from `start` over the points; nullopt when it diverges or
// there are fewer than three points.
std::optional<Circle> fit_circle(const std::vector<Point2>& points, Circle start);

struct RobustFit {
  Circle circle;
  std::vector<bool> inlier;       // per input point
  std::vector<double> distances;  // per input point, signed
  int inliers = 0;
  double rms = 0;  // of the inliers' distances
};

// Fits, drops points beyond max(3 robust sigmas, floor) from the circle, and
// fits again until the set is stable.
std::optional<RobustFit> fit_circle_robust(const std::vector<Point2>& points, Circle start, double floor);

}  // namespace orb::lens
