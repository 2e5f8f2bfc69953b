#include "rim_consensus.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace orb::lens {
namespace {

struct Candidate {
  int ray;
  Point2 at;
  double t;
};

double tolerance_for(double r) { return 1.0 + 0.004 * r; }

double median(std::vector<double> v) {
  if (v.empty()) return NAN;
  auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), middle, v.end());
  return *middle;
}

// Per ray, the candidate nearest the circle, when within `within`.
std::vector<const Candidate*> nearest_per_ray(const std::vector<std::vector<Candidate>>& by_ray, const Circle& c,
                                              double within) {
  std::vector<const Candidate*> out(by_ray.size(), nullptr);
  for (std::size_t i = 0; i < by_ray.size(); ++i) {
    double best = within;
    for (const Candidate& k : by_ray[i]) {
      const double d = std::abs(c.distance(k.at));
      if (d <= best) {
        best = d;
        out[i] = &k;
      }
    }
  }
  return out;
}

int support_of(const std::vector<std::vector<Candidate>>& by_ray, const Circle& c) {
  int support = 0;
  for (const auto* k : nearest_per_ray(by_ray, c, tolerance_for(c.r))) support += k != nullptr;
  return support;
}

// Where a ray from (ox, oy) leaves the circle; NaN when it misses it.
double exit_distance(const RayProfile& ray, double ox, double oy, const Circle& c) {
  const double fx = ox - c.cx, fy = oy - c.cy;
  const double b = fx * ray.dx + fy * ray.dy, q = fx * fx + fy * fy - c.r * c.r;
  const double disc = b * b - q;
  return disc < 0 ? NAN : -b + std::sqrt(disc);
}

// Rays that reach the circle inside the frame: the ones that could vote for it.
int in_view_of(const std::vector<RayProfile>& rays, double ox, double oy, const Circle& c) {
  int count = 0;
  for (const RayProfile& ray : rays) {
    const double t = exit_distance(ray, ox, oy, c);
    count += t >= ray.t0 && t <= ray.t_end();
  }
  return count;
}

// How plain the ring between two circles is; the steps at its edges left out.
double ring_roughness(const std::vector<RayProfile>& rays, double ox, double oy, const Circle& inner,
                      const Circle& outer) {
  std::vector<double> roughness;
  for (const RayProfile& ray : rays) {
    const double from = exit_distance(ray, ox, oy, inner) + 2, to = exit_distance(ray, ox, oy, outer) - 2;
    if (!(to - from >= 1) || to > ray.t_end()) continue;
    roughness.push_back(ray.roughness(from, to));
  }
  return roughness.size() >= 3 ? median(roughness) : 0;
}

// How plain the picture is just outside the circle, and how much darker
// than just inside, from the rays' own samples.
void describe_outside(const std::vector<RayProfile>& rays, const std::vector<std::vector<Candidate>>& by_ray,
                      RimCircle& rim) {
  const double band = std::max(4.0, 0.06 * rim.circle.r);
  std::vector<double> roughness, contrast;
  const auto on_rim = nearest_per_ray(by_ray, rim.circle, tolerance_for(rim.circle.r));
  for (std::size_t i = 0; i < rays.size(); ++i) {
    if (!on_rim[i]) continue;
    const RayProfile& ray = rays[i];
    const double t = on_rim[i]->t;
    if (ray.t_end() < t + 2 + band) continue;  // the frame ends just outside: nothing to judge
    roughness.push_back(ray.roughness(t + 2, t + 2 + band));
    contrast.push_back(ray.mean(t - 2 - band, t - 2) - ray.mean(t + 2, t + 2 + band));
  }
  rim.roughness = roughness.size() >= 3 ? median(roughness) : 0;
  rim.contrast = contrast.empty() ? 0 : median(contrast);
}

}  // namespace

std::optional<RimCircle> rim_consensus(const std::vector<RayProfile>& rays, double ox, double oy,
                                       const ConsensusLimits& limits) {
  std::vector<std::vector<Candidate>> by_ray(rays.size());
  std::vector<Candidate> all;
  for (std::size_t i = 0; i < rays.size(); ++i) {
    for (const RimEdge& e : rays[i].edges) {
      const Candidate k{static_cast<int>(i), {ox + e.t * rays[i].dx, oy + e.t * rays[i].dy}, e.t};
      by_ray[i].push_back(k);
      all.push_back(k);
    }
  }
  if (all.size() < 3) return std::nullopt;
  const int ray_count = static_cast<int>(rays.size());
  const int min_apart = std::max(1, ray_count / 14);  // about 25 degrees between the three rays
  auto apart = [&](int a, int b) {
    const int d = std::abs(a - b) % ray_count;
    return std::min(d, ray_count - d) >= min_apart;
  };

  // Sample circles; keep the distinct ones with the most support.
  std::mt19937 random(11);
  std::uniform_int_distribution<std::size_t> pick(0, all.size() - 1);
  std::vector<RimCircle> found;
  for (int i = 0; i < 700; ++i) {
    const Candidate& a = all[pick(random)];
    const Candidate& b = all[pick(random)];
    const Candidate& c = all[pick(random)];
    if (!apart(a.ray, b.ray) || !apart(a.ray, c.ray) || !apart(b.ray, c.ray)) continue;
    const auto circle = circle_through(a.at, b.at, c.at);
    if (!circle || circle->r < limits.r_min || circle->r > limits.r_max || circle->cx < 0 || circle->cy < 0 ||
        circle->cx > limits.x_max || circle->cy > limits.y_max) {
      continue;
    }
    const int support = support_of(by_ray, *circle);
    if (support < 6) continue;
    bool merged = false;
    for (RimCircle& f : found) {
      const double near = 0.02 * f.circle.r;
      if (std::hypot(f.circle.cx - circle->cx, f.circle.cy - circle->cy) < near &&
          std::abs(f.circle.r - circle->r) < near) {
        if (support > f.support) f = {*circle, support};
        merged = true;
        break;
      }
    }
    if (!merged) found.push_back({*circle, support});
  }
  if (found.empty()) return std::nullopt;
  std::sort(found.begin(), found.end(), [](const RimCircle& x, const RimCircle& y) { return x.support > y.support; });
  found.resize(std::min<std::size_t>(found.size(), 12));

  // Refine each on the edges nearest to it, then count again.
  for (RimCircle& f : found) {
    std::vector<Point2> points;
    for (const auto* k : nearest_per_ray(by_ray, f.circle, 2 * tolerance_for(f.circle.r))) {
      if (k) points.push_back(k->at);
    }
    if (const auto fitted = fit_circle_robust(points, f.circle, tolerance_for(f.circle.r))) {
      const int support = support_of(by_ray, fitted->circle);
      if (support >= f.support) f = {fitted->circle, support};
    }
    f.in_view = in_view_of(rays, ox, oy, f.circle);
    describe_outside(rays, by_ray, f);
  }

  // A rim is seen by most rays that reach it, has a plain outside and is
  // darker outside than in. Of those, the outermost; but when another lies
  // just inside it around the same centre, the picture ends there and the
  // ring between is the lens's housing.
  const int min_support = std::max(20, static_cast<int>(rays.size()) / 12);
  // Inside a plain housing ring the rim may fade where the picture is as
  // dark as the ring, so less of it needs to be seen there.
  auto seen = [&](const RimCircle& f, int tenths) {
    return f.support >= min_support && f.support * 10 >= f.in_view * tenths && f.contrast > 0;
  };
  const RimCircle* outer = nullptr;
  for (const RimCircle& f : found) {
    if (seen(f, 6) && f.roughness <= limits.plain_roughness && (!outer || f.circle.r > outer->circle.r)) outer = &f;
  }
  if (!outer) return std::nullopt;
  const RimCircle* chosen = outer;
  for (const RimCircle& f : found) {
    if (!seen(f, 4) || f.circle.r < 0.85 * outer->circle.r || f.circle.r >= chosen->circle.r) continue;
    // A ring of even width: a circle touching the outer one on one side is
    // an arc of the rim itself, not a housing's inner edge.
    const double gap = outer->circle.r - f.circle.r;
    if (gap < std::max(3.0, 0.015 * outer->circle.r)) continue;
    if (std::hypot(f.circle.cx - outer->circle.cx, f.circle.cy - outer->circle.cy) > 0.35 * gap) continue;
    if (ring_roughness(rays, ox, oy, f.circle, outer->circle) > limits.plain_roughness) continue;
    chosen = &f;
  }
  if (!chosen) return std::nullopt;
  return *chosen;
}

}  // namespace orb::lens
