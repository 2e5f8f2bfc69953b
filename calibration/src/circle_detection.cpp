#include <calibration/circle_detection.h>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "coarse_circle.h"
#include "contrast_image.h"
#include "rim_consensus.h"
#include "rim_profile.h"

namespace orb {
namespace {

using lens::Circle;
using lens::Point2;

cv::Mat to_bgr(const cv::Mat& picture) {
  if (picture.channels() == 3) return picture;
  cv::Mat bgr;
  cv::cvtColor(picture, bgr, picture.channels() == 4 ? cv::COLOR_BGRA2BGR : cv::COLOR_GRAY2BGR);
  return bgr;
}

LensCircle nothing(const char* reason) {
  LensCircle out;
  out.reason = reason;
  return out;
}

struct FineRim {
  std::optional<lens::RobustFit> fit;
  int rays = 0, visible = 0;
};

// The rim at full resolution: along rays through a narrow band around the
// circle, the strongest outward-dark step, weighed by its nearness.
FineRim fine_rim(const cv::Mat& picture, const Circle& around, double band, double min_strength) {
  FineRim out;
  out.rays = 720;
  lens::RayOptions options;
  options.rays = out.rays;
  // Sampled a little past the band: an edge needs a pixel and a half of
  // profile on each side to be seen.
  options.t_from = around.r - band - 1.5;
  options.t_to = around.r + band + 1.5;
  options.min_strength = min_strength;
  options.max_edges = 4;
  const std::vector<lens::RayProfile> rays = lens::ray_profiles(picture, around.cx, around.cy, options);
  std::vector<Point2> points;
  for (const lens::RayProfile& ray : rays) {
    // A ray the frame cuts before the band's end shows no rim there.
    if (ray.values.empty() || ray.t0 > options.t_from + 0.01 || ray.t_end() < options.t_to - ray.step - 0.01) continue;
    ++out.visible;
    const lens::RimEdge* chosen = nullptr;
    double best = 0;
    for (const lens::RimEdge& e : ray.edges) {
      const double off = (e.t - around.r) / band;
      const double score = e.strength * (1 - off * off);
      if (score > best) {
        best = score;
        chosen = &e;
      }
    }
    if (chosen) points.push_back({around.cx + chosen->t * ray.dx, around.cy + chosen->t * ray.dy});
  }
  if (points.size() >= 8) out.fit = lens::fit_circle_robust(points, around, std::max(0.75, 0.15 * band));
  return out;
}

}  // namespace

cv::Mat combine_frames(const std::vector<cv::Mat>& frames) {
  cv::Mat out;
  for (const cv::Mat& frame : frames) {
    if (frame.empty()) continue;
    if (out.empty())
      out = frame.clone();
    else if (frame.size() == out.size() && frame.type() == out.type())
      cv::max(out, frame, out);
  }
  return out;
}

namespace {

// One lens's circle in the picture.
LensCircle single_circle(const cv::Mat& picture, const CircleDetectParams& params) {
  if (picture.empty()) return nothing("no picture");
  const int width = picture.cols, height = picture.rows;
  auto none_found = [&](const char* reason) {
    LensCircle none = nothing(reason);
    none.picture_width = width;
    none.picture_height = height;
    return none;
  };
  if (width < 8 || height < 8) return none_found("the picture is too small to hold a lens circle");
  const cv::Mat bgr = to_bgr(picture);
  cv::Mat gray_full;
  lens::contrast_image(bgr, lens::surround_colour(bgr)).convertTo(gray_full, CV_32F);
  cv::Mat fine_picture;
  cv::GaussianBlur(gray_full, fine_picture, cv::Size(5, 5), 1.0);

  // The coarse search runs on a working image of at most kWorkingSize.
  const double scale = std::max(1.0, static_cast<double>(std::max(width, height)) / kWorkingSize);
  cv::Mat reduced = gray_full;
  if (scale > 1) {
    cv::resize(gray_full, reduced,
               cv::Size(static_cast<int>(std::lround(width / scale)), static_cast<int>(std::lround(height / scale))), 0,
               0, cv::INTER_AREA);
  }
  cv::Mat work;  // a picture of its own: never blurred in place over gray_full
  cv::GaussianBlur(reduced, work, cv::Size(5, 5), 1.2);
  const double sx = static_cast<double>(width) / work.cols, sy = static_cast<double>(height) / work.rows;

  const lens::Surround surround = lens::surround_of(work);
  const std::optional<Circle> coarse = lens::coarse_circle(work, surround);
  if (!coarse) return none_found("the picture has no content brighter than its surround");

  // Rays from the coarse centre out to the frame's border.
  lens::RayOptions options;
  options.t_from = 0.25 * coarse->r;
  options.t_to = std::hypot(work.cols, work.rows);
  options.min_strength = std::max(3.0, 4 * surround.noise);
  options.surround_level = surround.threshold();
  const double ox = std::clamp(coarse->cx, 2.0, work.cols - 3.0), oy = std::clamp(coarse->cy, 2.0, work.rows - 3.0);
  const std::vector<lens::RayProfile> rays = lens::ray_profiles(work, ox, oy, options);
  lens::ConsensusLimits limits;
  limits.r_min = 0.1 * std::min(work.cols, work.rows);
  limits.r_max = 0.75 * std::hypot(work.cols, work.rows);
  limits.x_max = work.cols - 1;
  limits.y_max = work.rows - 1;
  limits.surround_level = surround.threshold();
  limits.noise = surround.noise;
  limits.min_ring = 3.5 / scale;  // a lens's colour fringe is 2-3 px wide at any picture size
  const std::optional<lens::RimCircle> rim = lens::rim_consensus(work, rays, ox, oy, limits);
  if (!rim) return none_found("no circular rim with a plain, dark outside");

  // Working pixel centres map to picture pixel centres as (x + 0.5) s - 0.5.
  Circle circle{(rim->circle.cx + 0.5) * sx - 0.5, (rim->circle.cy + 0.5) * sy - 0.5, rim->circle.r * 0.5 * (sx + sy)};
  // Narrow: the working image placed the rim within a pixel, and a halo's
  // edge a little further out must not draw the fit.
  const double band = 1.5 * scale + 2;
  FineRim fine;
  for (int pass = 0; pass < 2; ++pass) {  // the second pass's rays cross the rim squarely
    FineRim next = fine_rim(fine_picture, circle, pass == 0 ? band : band * 0.6, options.min_strength);
    if (!next.fit) break;
    fine = std::move(next);
    circle = fine.fit->circle;
  }
  if (!fine.fit) return none_found("the rim is too faint at full resolution");

  LensCircle out;
  out.picture_width = width;
  out.picture_height = height;
  out.cx = static_cast<float>(circle.cx);
  out.cy = static_cast<float>(circle.cy);
  out.radius = static_cast<float>(circle.r);
  out.residual_px = static_cast<float>(fine.fit->rms);
  out.rim_points = fine.fit->inliers;
  out.visible_share = static_cast<float>(fine.visible) / static_cast<float>(fine.rays);
  // Confidence: the share of the visible rim that lies on the circle, enough
  // of the rim in view, and a tight fit. Sharp rims give a residual of a
  // fraction of a pixel at any size; soft ones are soft in proportion.
  const double loose = std::max(1.0, 0.5 * scale);
  int on_circle = 0;
  // A lens's colour fringe puts some rays' edges 2-3 px inside the others at any size.
  for (const double d : fine.fit->distances) on_circle += std::abs(d) <= std::max(1.5 * loose, 3.0);
  const double agreement = static_cast<double>(on_circle) / std::max(1, fine.visible);
  const double in_view = std::min(1.0, out.visible_share / 0.3);
  const double tightness = std::clamp(1.8 - fine.fit->rms / loose, 0.0, 1.0);
  out.confidence = static_cast<float>(agreement * in_view * tightness);
  const bool centre_inside = circle.cx >= 0 && circle.cy >= 0 && circle.cx <= width - 1 && circle.cy <= height - 1;
  const bool sized = circle.r >= 0.1 * std::min(width, height) && circle.r <= 0.75 * std::hypot(width, height);
  if (!centre_inside || !sized) {
    out.reason = "the circle found lies outside the picture";
  } else if (out.rim_points < 24 || out.visible_share < 0.2f || out.confidence < params.min_confidence) {
    out.reason = "the rim found is not trustworthy";
  } else {
    out.found = true;
  }
  return out;
}

// A dual-lens camera's frame: each half holds one lens, cut by the frame
// and meeting the other at the seam. Both halves must show a circle of
// about the same size, each well inside its own half, far apart: one
// circle across the middle of a wide frame shows in both halves too, but
// as the same circle.
std::optional<LensCircle> two_lenses(const cv::Mat& picture, const CircleDetectParams& params) {
  const double aspect = static_cast<double>(picture.cols) / picture.rows;
  if (aspect < 1.9 || aspect > 2.1) return std::nullopt;  // 2:1, as dual-lens cameras record
  const int half = picture.cols / 2;
  // Each circle is cut on every side, and the pair vouches for each other:
  // each alone may be less sure.
  CircleDetectParams each = params;
  each.min_confidence = 0.7f * params.min_confidence;
  const LensCircle left = single_circle(picture(cv::Rect(0, 0, half, picture.rows)), each);
  if (!left.found) return std::nullopt;
  LensCircle right = single_circle(picture(cv::Rect(half, 0, picture.cols - half, picture.rows)), each);
  if (!right.found) return std::nullopt;
  right.cx += static_cast<float>(half);
  const float mean_r = 0.5f * (left.radius + right.radius);
  const auto inside_half = [&](float x, int from) {
    const auto start = static_cast<float>(from), width = static_cast<float>(half);
    return x >= start + 0.15f * width && x <= start + 0.85f * width;
  };
  if (std::abs(left.radius - right.radius) > 0.1f * mean_r || !inside_half(left.cx, 0) ||
      !inside_half(right.cx, half) || std::hypot(right.cx - left.cx, right.cy - left.cy) < 1.4f * mean_r) {
    return std::nullopt;
  }
  LensCircle out = left;
  out.found = false;
  out.dual_lens = true;
  out.second_cx = right.cx;
  out.second_cy = right.cy;
  out.second_radius = right.radius;
  out.picture_width = picture.cols;
  out.picture_height = picture.rows;
  out.confidence = std::min(left.confidence, right.confidence);
  out.reason = "two lens circles side by side: a dual-lens 360° picture";
  return out;
}

}  // namespace

LensCircle detect_lens_circle(const cv::Mat& picture, const CircleDetectParams& params) {
  if (std::optional<LensCircle> dual = two_lenses(picture, params)) return *dual;
  return single_circle(picture, params);
}

bool DetectFisheyeCircle(const cv::Mat& picture, const CircleDetectParams& params, float& cx, float& cy,
                         float& radius) {
  const LensCircle circle = detect_lens_circle(picture, params);
  if (!circle.found) return false;
  cx = circle.cx;
  cy = circle.cy;
  radius = circle.radius;
  return true;
}

}  // namespace orb
