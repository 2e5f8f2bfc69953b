#include "rim_profile.h"

#include <algorithm>
#include <cmath>

namespace orb::lens {

float sample(const cv::Mat& picture, double x, double y) {
  const int x0 = std::clamp(static_cast<int>(std::floor(x)), 0, picture.cols - 2);
  const int y0 = std::clamp(static_cast<int>(std::floor(y)), 0, picture.rows - 2);
  const auto fx = static_cast<float>(x - x0), fy = static_cast<float>(y - y0);
  const float* r0 = picture.ptr<float>(y0) + x0;
  const float* r1 = picture.ptr<float>(y0 + 1) + x0;
  const float top = r0[0] + (r0[1] - r0[0]) * fx;
  const float bottom = r1[0] + (r1[1] - r1[0]) * fx;
  return top + (bottom - top) * fy;
}

std::vector<float> ring_samples(const cv::Mat& picture, double cx, double cy, double rho, int count, double border) {
  std::vector<float> out(static_cast<std::size_t>(count), NAN);
  const double x_max = picture.cols - 1 - border, y_max = picture.rows - 1 - border;
  for (int i = 0; i < count; ++i) {
    const double angle = 2 * M_PI * i / count;
    const double x = cx + rho * std::cos(angle), y = cy + rho * std::sin(angle);
    if (x >= border && y >= border && x <= x_max && y <= y_max)
      out[static_cast<std::size_t>(i)] = sample(picture, x, y);
  }
  return out;
}

double ring_correlation(const cv::Mat& picture, const Circle& inner, double rho) {
  const std::vector<float> ring = ring_samples(picture, inner.cx, inner.cy, rho, 360);
  const std::vector<float> scene = ring_samples(picture, inner.cx, inner.cy, inner.r - 2.5, 360);
  double n = 0, sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    if (std::isnan(ring[i]) || std::isnan(scene[i])) continue;
    ++n;
    sa += ring[i];
    sb += scene[i];
    saa += ring[i] * ring[i];
    sbb += scene[i] * scene[i];
    sab += ring[i] * scene[i];
  }
  if (n < 30) return NAN;
  const double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
  return va > 1e-9 && vb > 1e-9 ? (sab - sa * sb / n) / std::sqrt(va * vb) : 0.0;
}

namespace {

template <typename F>
double over_range(const RayProfile& ray, double from, double to, F reduce) {
  const auto first = static_cast<long>(std::ceil((from - ray.t0) / ray.step));
  const auto last = static_cast<long>(std::floor((to - ray.t0) / ray.step));
  const long lo = std::max(0L, first), hi = std::min(static_cast<long>(ray.values.size()) - 1, last);
  if (lo > hi) return NAN;
  std::vector<float> values(ray.values.begin() + lo, ray.values.begin() + hi + 1);
  return reduce(values);
}

}  // namespace

double RayProfile::mean(double from, double to) const {
  return over_range(*this, from, to, [](std::vector<float>& v) {
    double sum = 0;
    for (float x : v) sum += x;
    return sum / static_cast<double>(v.size());
  });
}

double RayProfile::roughness(double from, double to) const {
  const int k = static_cast<int>(std::lround(1.0 / step));
  return over_range(*this, from, to, [k](std::vector<float>& v) {
    // Second differences: texture changes them, a smooth fall-off (a glow
    // or vignetting outside the rim) does not.
    std::vector<float> changes;
    for (std::size_t j = static_cast<std::size_t>(k); j + static_cast<std::size_t>(k) < v.size(); ++j) {
      changes.push_back(std::abs(v[j + k] - 2 * v[j] + v[j - k]));
    }
    if (changes.empty()) return 0.0;
    auto middle = changes.begin() + static_cast<std::ptrdiff_t>(changes.size() / 2);
    std::nth_element(changes.begin(), middle, changes.end());
    return static_cast<double>(*middle);
  });
}

std::vector<RayProfile> ray_profiles(const cv::Mat& picture, double cx, double cy, const RayOptions& options) {
  std::vector<RayProfile> rays(static_cast<std::size_t>(options.rays));
  const double x_max = picture.cols - 1 - options.border, y_max = picture.rows - 1 - options.border;
  for (int i = 0; i < options.rays; ++i) {
    RayProfile& ray = rays[static_cast<std::size_t>(i)];
    const double angle = 2 * M_PI * i / options.rays;
    ray.dx = std::cos(angle);
    ray.dy = std::sin(angle);
    ray.t0 = std::max(0.0, options.t_from);
    for (double t = ray.t0; t <= options.t_to; t += ray.step) {
      const double x = cx + t * ray.dx, y = cy + t * ray.dy;
      if (x < options.border || y < options.border || x > x_max || y > y_max) break;
      ray.values.push_back(sample(picture, x, y));
    }
    // Outward-dark steps: brightness one pixel inside minus one pixel outside.
    const int k = static_cast<int>(std::lround(1.0 / ray.step));
    const int n = static_cast<int>(ray.values.size());
    std::vector<double> drop(static_cast<std::size_t>(std::max(0, n)), 0.0);
    for (int j = k; j + k < n; ++j) drop[j] = ray.values[j - k] - ray.values[j + k];
    for (int j = k + 1; j + k + 1 < n; ++j) {
      const double d = drop[j];
      if (d < options.min_strength || d < drop[j - 1] || d <= drop[j + 1]) continue;
      // Peak of the parabola through the three drops around the maximum.
      const double denominator = drop[j - 1] - 2 * d + drop[j + 1];
      const double offset = denominator < 0 ? 0.5 * (drop[j - 1] - drop[j + 1]) / denominator : 0.0;
      ray.edges.push_back({ray.t0 + ray.step * (j + std::clamp(offset, -0.5, 0.5)), d});
    }
    // Where the scene ends: after the edge the ray stays at the surround's
    // level for a while (or until the frame's border).
    if (options.surround_level >= 0) {
      for (RimEdge& e : ray.edges) {
        // Past the edge's own blur, and above what JPEG rings beside it.
        const double start = e.t + 2.5, span = std::max(3.0, options.plain_share * e.t);
        const double level = options.surround_level + 0.1 * e.strength;
        const auto from = static_cast<std::size_t>(std::max(0.0, std::ceil((start - ray.t0) / ray.step)));
        const auto to = std::min(ray.values.size(), static_cast<std::size_t>((start + span - ray.t0) / ray.step) + 1);
        bool dark = true;
        for (std::size_t j = from; dark && j < to; ++j) dark = ray.values[j] <= level;
        e.ends_scene = dark;
      }
    }
    std::vector<RimEdge> kept;
    auto keep = [&](const RimEdge& e) {
      for (const RimEdge& k2 : kept) {
        if (std::abs(k2.t - e.t) < 2.0) return;  // one edge per two pixels: the first kept of a cluster
      }
      kept.push_back(e);
    };
    // The first two that end the scene, the outermost two, then the strongest.
    int ending = 0;
    for (const RimEdge& e : ray.edges) {
      if (e.ends_scene && ending < 2) {
        keep(e);
        ++ending;
      }
    }
    for (auto e = ray.edges.rbegin(); e != ray.edges.rend() && e - ray.edges.rbegin() < 2; ++e) keep(*e);
    std::sort(ray.edges.begin(), ray.edges.end(),
              [](const RimEdge& a, const RimEdge& b) { return a.strength > b.strength; });
    const std::size_t extra = kept.size() + static_cast<std::size_t>(options.max_edges);
    for (const RimEdge& e : ray.edges) {
      if (kept.size() >= extra) break;
      keep(e);
    }
    ray.edges = std::move(kept);
  }
  return rays;
}

}  // namespace orb::lens
