#include <calibration/circle_detection.h>

#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cmath>
#include <random>

namespace orb {
namespace {

// The band the centre must lie in, and the radius limits, in working pixels.
struct Limits {
  float x_lo, x_hi, y_lo, y_hi, r_min, r_max;

  Limits(int w, int h) {
    const auto hx = static_cast<float>(w / 2);
    const auto hy = static_cast<float>(h / 2);
    x_lo = hx - 0.2f * hx;
    x_hi = hx + 0.2f * hx;
    y_lo = hy - 0.2f * hy;
    y_hi = hy + 0.2f * hy;
    r_min = static_cast<float>(std::min(w, h) / 2) * 0.5f;
    r_max = std::sqrt(0.25f * static_cast<float>(w) * static_cast<float>(w) +
                      0.25f * static_cast<float>(h) * static_cast<float>(h));
  }
  // Inclusive bounds; a non-finite value is never inside.
  bool accepts(float a, float b, float r) const {
    return a >= x_lo && a <= x_hi && b >= y_lo && b <= y_hi && r >= r_min && r <= r_max;
  }
};

struct Circle {
  float a = 0, b = 0, r2 = 0;
};

// Least-norm solution of rows [x, y, 1] . (D, E, F) = -(x^2 + y^2).
Circle solve(const cv::Mat& m, const cv::Mat& v) {
  cv::Mat def = m.inv(cv::DECOMP_SVD) * v;
  const float d = def.at<float>(0), e = def.at<float>(1), f = def.at<float>(2);
  return {-d / 2, -e / 2, d * d / 4 - f + e * e / 4};
}

}  // namespace

void ComputeCannyThresholds(const cv::Mat& blurred, const CircleDetectParams& params, double& low, double& high) {
  cv::Mat gx, gy, ax, ay, g;
  cv::Sobel(blurred, gx, CV_16S, 1, 0, 3, 1, 0, cv::BORDER_DEFAULT);
  cv::convertScaleAbs(gx, ax, 1, 0);
  cv::Sobel(blurred, gy, CV_16S, 0, 1, 3, 1, 0, cv::BORDER_DEFAULT);
  cv::convertScaleAbs(gy, ay, 1, 0);
  cv::addWeighted(ax, 1.0, ay, 1.0, 0.0, g, CV_8U);

  float histogram[256] = {};
  const auto total = static_cast<float>(g.total());
  for (int row = 0; row < g.rows; ++row) {
    const std::uint8_t* p = g.ptr<std::uint8_t>(row);
    for (int col = 0; col < g.cols; ++col) histogram[p[col]] += 1;
  }
  for (float& bin : histogram) bin /= total;
  float cumulative = 0;
  int index = 0;
  for (int k = 0; k < 256; ++k) {
    cumulative = k == 0 ? histogram[0] : cumulative + histogram[k];
    if (params.nonEdgeFraction < cumulative) {
      index = k;
      break;
    }
  }
  high = index * 0.00390625;
  low = high * 0.8;
}

std::vector<RimPoint> CollectRimPoints(const cv::Mat& edges) {
  const int w = edges.cols, h = edges.rows;
  std::vector<RimPoint> points;
  const auto half_diagonal = static_cast<float>(std::sqrt(0.25f * static_cast<float>(h * h) + 0.25f * static_cast<float>(w * w)));
  const auto hx = static_cast<float>(w / 2), hy = static_cast<float>(h / 2);
  const int y0 = std::max(0, static_cast<int>((hy - 0.2f * hy) - half_diagonal));
  const int y1 = std::min(h, static_cast<int>((hy + 0.2f * hy) + half_diagonal));
  const int x0 = std::max(0, static_cast<int>((hx - 0.2f * hx) - half_diagonal));
  const int x1 = std::min(w, static_cast<int>((hx + 0.2f * hx) + half_diagonal));
  if (y0 >= y1) return points;

  auto edge = [&](int y, int x) { return edges.at<std::uint8_t>(y, x) != 0; };
  auto lone_in_column = [&](int y, int x) {
    bool above = false, below = false;
    for (int yy = y - 1; yy >= 0 && !above; --yy) above = edge(yy, x);
    for (int yy = y + 1; yy < h && !below; ++yy) below = edge(yy, x);
    return !(above && below);
  };
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      if (!edge(y, x)) continue;
      if (lone_in_column(y, x)) points.push_back({x, y});
      break;
    }
  }
  for (int y = y0; y < y1; ++y) {
    for (int x = x1 - 1; x >= x0; --x) {
      if (!edge(y, x)) continue;
      if (lone_in_column(y, x)) points.push_back({x, y});
      break;
    }
  }
  return points;
}

bool FitCircleRansac(const std::vector<RimPoint>& points, int w, int h, float& cx, float& cy, float& radius,
                     std::optional<std::uint32_t> seed) {
  const Limits limits(w, h);
  const std::size_t n = points.size();
  if (n == 0) return false;  // nothing to sample from
  std::mt19937 random(seed ? *seed
                           : static_cast<std::uint32_t>(
                                 std::chrono::system_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<std::size_t> pick(0, n - 1);
  int best = 3;
  for (int left = 200; left > 0;) {
    --left;
    cv::Mat a(3, 3, CV_32F), v(3, 1, CV_32F);
    for (int row = 0; row < 3; ++row) {
      const RimPoint& p = points[pick(random)];
      a.at<float>(row, 0) = static_cast<float>(p.x);
      a.at<float>(row, 1) = static_cast<float>(p.y);
      a.at<float>(row, 2) = 1;
      v.at<float>(row) = static_cast<float>(-(p.x * p.x + p.y * p.y));
    }
    Circle model = solve(a, v);
    if (!limits.accepts(model.a, model.b, std::sqrt(model.r2))) continue;

    int score = 3;
    for (;;) {
      const float r = std::sqrt(model.r2);
      const float tolerance = 0.03f * r;
      cv::Mat m(0, 3, CV_32F), u(0, 1, CV_32F);
      for (const RimPoint& p : points) {
        const auto x = static_cast<float>(p.x), y = static_cast<float>(p.y);
        if (std::abs(std::sqrt((x - model.a) * (x - model.a) + (y - model.b) * (y - model.b)) - r) < tolerance) {
          const float row[3] = {x, y, 1};
          m.push_back(cv::Mat(1, 3, CV_32F, const_cast<float*>(row)));
          u.push_back(-(x * x + y * y));
        }
      }
      if (m.rows <= score) break;
      score = m.rows;
      model = solve(m, u);
    }
    if (score > best) {
      best = score;
      cx = model.a;
      cy = model.b;
      radius = std::sqrt(model.r2);
      if (score > 0.8 * static_cast<double>(n)) return limits.accepts(cx, cy, radius);
    }
  }
  return limits.accepts(cx, cy, radius);
}

bool DetectFisheyeCircle(const cv::Mat& picture, const CircleDetectParams& params, float& cx, float& cy,
                         float& radius, std::optional<std::uint32_t> seed) {
  if (picture.empty()) return false;
  const float s = static_cast<float>(std::max(picture.cols, picture.rows)) / static_cast<float>(kWorkingSize);
  cv::Mat gray, working, blurred, edges;
  cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);
  cv::resize(gray, working, cv::Size(0, 0), 1.0 / s, 1.0 / s, cv::INTER_LINEAR);
  cv::GaussianBlur(working, blurred, cv::Size(17, 17), 2.0, 0, cv::BORDER_DEFAULT);
  double low = 0, high = 0;
  ComputeCannyThresholds(blurred, params, low, high);
  cv::Canny(blurred, edges, 255 * low, 255 * high, 3, false);
  const std::vector<RimPoint> rim = CollectRimPoints(edges);
  const bool found = FitCircleRansac(rim, working.cols, working.rows, cx, cy, radius, seed);
  // Back to picture pixels. The resize maps pixel centres, so working
  // position x is picture position (x + 0.5) s - 0.5; plain x s would put
  // every centre half a working pixel up and to the left.
  cx = (cx + 0.5f) * s - 0.5f;
  cy = (cy + 0.5f) * s - 0.5f;
  radius *= s;
  return found;
}

}  // namespace orb
