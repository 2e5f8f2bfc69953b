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

using ByRay = std::vector<std::vector<Candidate>>;

constexpr int kRingAngles = 360;

double tolerance_for(double r) { return 1.0 + 0.004 * r; }

double median(std::vector<double> v) {
  if (v.empty()) return NAN;
  auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), middle, v.end());
  return *middle;
}

// Per ray, the candidate nearest the circle, when within `within`.
std::vector<const Candidate*> nearest_per_ray(const ByRay& by_ray, const Circle& c, double within) {
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

int support_of(const ByRay& by_ray, const Circle& c) {
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

// How much darker the picture is just outside the circle than just inside,
// from the rays' own samples where they cross it.
double contrast_of(const std::vector<RayProfile>& rays, const ByRay& by_ray, const Circle& c) {
  const double band = std::max(4.0, 0.06 * c.r);
  std::vector<double> contrast;
  const auto on_rim = nearest_per_ray(by_ray, c, tolerance_for(c.r));
  for (std::size_t i = 0; i < rays.size(); ++i) {
    if (!on_rim[i]) continue;
    const double t = on_rim[i]->t;
    const double outside = rays[i].mean(t + 2, t + 2 + band);
    if (std::isnan(outside)) continue;  // the frame ends just outside
    contrast.push_back(rays[i].mean(t - 2 - band, t - 2) - outside);
  }
  return contrast.empty() ? 1.0 : median(contrast);  // nothing outside to compare with: not against it
}

// The share of the band just outside the circle that is as dark as the
// surround: text or a glow over part of it leaves most of it dark.
double dark_outside_of(const cv::Mat& picture, const Circle& c, double surround_level) {
  const double band = std::max(4.0, 0.05 * c.r);
  int dark = 0, seen = 0;
  for (double rho = c.r + 2; rho <= c.r + 2 + band; rho += 1) {
    for (const float v : ring_samples(picture, c.cx, c.cy, rho, kRingAngles)) {
      if (std::isnan(v)) continue;
      ++seen;
      dark += v <= surround_level;
    }
  }
  // The frame ends right outside (almost) everywhere: nothing says otherwise.
  if (seen < kRingAngles / 10) return 1.0;
  return static_cast<double>(dark) / seen;
}

// How much the picture changes from one angle to the next, over radii
// [from, to] around the circle's centre: high in a scene, low in a housing
// ring, a halo or a glow, whose brightness changes only slowly around.
double texture_of(const cv::Mat& picture, const Circle& c, double from, double to) {
  std::vector<double> per_radius;
  for (double rho = from; rho <= to + 1e-9; rho += 1) {
    const std::vector<float> ring = ring_samples(picture, c.cx, c.cy, rho, kRingAngles);
    std::vector<double> changes;
    for (std::size_t i = 0; i < ring.size(); ++i) {
      const float a = ring[i], b = ring[(i + 1) % ring.size()];
      if (!std::isnan(a) && !std::isnan(b)) changes.push_back(std::abs(a - b));
    }
    if (changes.size() >= 20) per_radius.push_back(median(changes));
  }
  return per_radius.empty() ? NAN : median(per_radius);
}

// Circles through three edges on rays well apart, drawn in turn from the
// edges where a ray's scene ends, from each ray's outermost edge and from
// all edges; the distinct ones with most support.
std::vector<RimCircle> sample_circles(const ByRay& by_ray, const std::vector<std::vector<Candidate>>& pools,
                                      const ConsensusLimits& limits) {
  const int ray_count = static_cast<int>(by_ray.size());
  const int min_apart = std::max(1, ray_count / 14);  // about 25 degrees between the three rays
  auto apart = [&](int a, int b) {
    const int d = std::abs(a - b) % ray_count;
    return std::min(d, ray_count - d) >= min_apart;
  };
  std::mt19937 random(11);
  std::vector<RimCircle> found;
  for (int i = 0; i < 1200; ++i) {
    const std::vector<Candidate>& pool = pools[static_cast<std::size_t>(i) % pools.size()];
    if (pool.size() < 3) continue;
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    auto draw = [&]() -> const Candidate& { return pool[pick(random)]; };
    const Candidate& a = draw();
    const Candidate& b = draw();
    const Candidate& c = draw();
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
      // Close enough to be the same rim; a halo's edge 1 % further out is another.
      const double near = std::max(1.0, 0.006 * f.circle.r);
      if (std::hypot(f.circle.cx - circle->cx, f.circle.cy - circle->cy) < near &&
          std::abs(f.circle.r - circle->r) < near) {
        if (support > f.support) f = {*circle, support};
        merged = true;
        break;
      }
    }
    if (!merged) found.push_back({*circle, support});
  }
  std::sort(found.begin(), found.end(), [](const RimCircle& x, const RimCircle& y) { return x.support > y.support; });
  found.resize(std::min<std::size_t>(found.size(), 24));
  return found;
}

}  // namespace

std::optional<RimCircle> rim_consensus(const cv::Mat& picture, const std::vector<RayProfile>& rays, double ox,
                                       double oy, const ConsensusLimits& limits) {
  ByRay by_ray(rays.size());
  // Pools to draw from: where each ray's scene ends, its outermost edge,
  // the one inside that (a rim inside a housing or a halo), and all edges.
  std::vector<std::vector<Candidate>> pools(4);
  for (std::size_t i = 0; i < rays.size(); ++i) {
    for (const RimEdge& e : rays[i].edges) {
      by_ray[i].push_back({static_cast<int>(i), {ox + e.t * rays[i].dx, oy + e.t * rays[i].dy}, e.t});
    }
    std::vector<const Candidate*> outward;
    const Candidate* ender = nullptr;
    for (std::size_t j = 0; j < by_ray[i].size(); ++j) {
      const Candidate& k = by_ray[i][j];
      pools[3].push_back(k);
      outward.push_back(&k);
      if (rays[i].edges[j].ends_scene && (!ender || k.t < ender->t)) ender = &k;
    }
    std::sort(outward.begin(), outward.end(), [](const Candidate* a, const Candidate* b) { return a->t > b->t; });
    if (ender) pools[0].push_back(*ender);
    if (!outward.empty()) pools[1].push_back(*outward[0]);
    if (outward.size() > 1) pools[2].push_back(*outward[1]);
  }
  if (pools[3].size() < 3) return std::nullopt;
  std::vector<RimCircle> found = sample_circles(by_ray, pools, limits);
  if (found.empty()) return std::nullopt;

  // Refine each on the edges nearest to it, then describe it.
  std::vector<RimCircle> refined;
  for (RimCircle f : found) {
    std::vector<Point2> points;
    for (const auto* k : nearest_per_ray(by_ray, f.circle, 2 * tolerance_for(f.circle.r))) {
      if (k) points.push_back(k->at);
    }
    if (const auto fitted = fit_circle_robust(points, f.circle, tolerance_for(f.circle.r))) {
      const int support = support_of(by_ray, fitted->circle);
      if (support >= f.support) f = {fitted->circle, support};
    }
    f.in_view = in_view_of(rays, ox, oy, f.circle);
    f.contrast = contrast_of(rays, by_ray, f.circle);
    // JPEG's ringing beside a bright rim is not content: dark is judged
    // against the step the rim makes as well as the surround's own level.
    f.dark_outside = dark_outside_of(picture, f.circle, limits.surround_level + 0.15 * std::max(0.0, f.contrast));
    // Refits of one rim from different samples end up on the same circle.
    const bool again = std::any_of(refined.begin(), refined.end(), [&](const RimCircle& g) {
      return std::abs(g.circle.r - f.circle.r) < 0.3 &&
             std::hypot(g.circle.cx - f.circle.cx, g.circle.cy - f.circle.cy) < 0.3;
    });
    if (!again) refined.push_back(f);
  }
  found = std::move(refined);

  // A rim: seen by many of the rays that reach it, darker outside than in,
  // with the surround's darkness outside; the one most rays see, a dark
  // outside counting most (a circle just inside a halo or a housing has a
  // bright outside; a ring of JPEG ringing just outside the rim is seen by
  // few rays).
  const int min_support = std::max(20, static_cast<int>(rays.size()) / 12);
  auto seen = [&](const RimCircle& f, double share) {
    return f.support >= min_support && f.support >= share * f.in_view && f.contrast > 0;
  };
  const RimCircle* outer = nullptr;
  auto score = [](const RimCircle& f) { return f.support * f.dark_outside * f.dark_outside; };
  for (const RimCircle& f : found) {
    if (seen(f, 0.45) && f.dark_outside >= 0.5 && (!outer || score(f) > score(*outer))) outer = &f;
  }
  if (!outer) return std::nullopt;

  // A ring without texture just inside it, around the same centre, is not
  // the scene: a housing, a halo or a glow. The picture ends at its inner
  // edge, where the rim may be fainter (as dark as the ring in places).
  const RimCircle* chosen = outer;
  const double texture_floor = std::max(1.0, 2 * limits.noise);
  for (const RimCircle& f : found) {
    const double gap = outer->circle.r - f.circle.r;
    if (gap < std::max(2.0, 0.008 * outer->circle.r) || gap > 0.12 * outer->circle.r) continue;
    if (chosen != outer && f.circle.r <= chosen->circle.r) continue;  // the outermost such ring's inner edge
    if (!seen(f, 0.6)) continue;  // a rim of its own, not a scene edge that happens to be round
    if (std::hypot(f.circle.cx - outer->circle.cx, f.circle.cy - outer->circle.cy) > 0.35 * gap + 0.5) continue;
    // Around the inner circle, whose edge is the sharper: a glow's soft
    // outer edge places the outer circle less well.
    const double middle = f.circle.r + 0.5 * gap, half = std::max(0.0, 0.5 * gap - 1.5);
    const double ring = texture_of(picture, f.circle, middle - half, middle + half);
    const double scene = texture_of(picture, f.circle, 0.88 * f.circle.r, f.circle.r - 2);
    // A ring the scene's own texture does not cross; or one inside a rim
    // nearly every ray sees, which no scene draws around the same centre.
    const bool plain = !std::isnan(ring) && !std::isnan(scene) && ring <= std::max(texture_floor, 0.35 * scene);
    if (!plain && !seen(f, 0.75)) continue;
    // As narrow as a colour fringe: only a ring that does not follow the scene.
    if (gap < limits.min_ring && !(ring_correlation(picture, f.circle, middle) < 0.3)) continue;
    chosen = &f;
  }
  return *chosen;
}

}  // namespace orb::lens
