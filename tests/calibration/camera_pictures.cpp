#include "camera_pictures.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "camera_overlays.h"
#include "synthetic_picture.h"

namespace orb::test {
namespace {

// Darkens towards the rim: 1 - strength at the circle, 1 in the middle.
void vignette(cv::Mat& picture, const cv::Mat& distance, float radius, float strength) {
  for (int y = 0; y < picture.rows; ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    const float* d = distance.ptr<float>(y);
    for (int x = 0; x < picture.cols; ++x) {
      const float t = std::min(1.0f, d[x] / radius);
      row[x] *= 1.0f - strength * t * t;
    }
  }
}

// Noise, 8 bits, then JPEG as the camera or a frame grab would store it.
cv::Mat as_stored(const cv::Mat& picture, std::mt19937& rng, int quality) {
  cv::Mat noise(picture.size(), CV_32FC3);
  cv::theRNG().state = rng();
  cv::randn(noise, 0, uniform(rng, 1.0f, 4.0f));
  cv::Mat eight;
  cv::Mat(picture + noise).convertTo(eight, CV_8UC3);
  std::vector<std::uint8_t> jpeg;
  cv::imencode(".jpg", eight, jpeg, {cv::IMWRITE_JPEG_QUALITY, quality});
  return cv::imdecode(jpeg, cv::IMREAD_COLOR);
}

cv::Mat scene(int width, int height, float cx, float cy, float radius, std::mt19937& rng) {
  synth::ClipSpec spec = circle_spec(width, height, cx, cy, radius, uniform(rng, 180, 220));
  spec.scene_variant = static_cast<int>(rng() % 8);
  cv::Mat picture;
  to_bgr(synth::render_scene(spec)).convertTo(picture, CV_32FC3);
  return picture;
}

// Rectangles of many colours over a sky-to-ground gradient, with the corner
// shading an ordinary lens gives.
cv::Mat ordinary_picture(int width, int height, std::mt19937& rng) {
  cv::Mat picture(height, width, CV_32FC3);
  for (int y = 0; y < height; ++y) {
    const float t = static_cast<float>(y) / static_cast<float>(height);
    picture.row(y).setTo(cv::Scalar(220 - 120 * t, 180 - 90 * t, 140 - 60 * t));
  }
  for (int i = 0; i < 40; ++i) {
    const int x = static_cast<int>(rng() % static_cast<unsigned>(width));
    const int y = static_cast<int>(rng() % static_cast<unsigned>(height));
    const int w = std::max(2, static_cast<int>(uniform(rng, 0.02f, 0.3f) * static_cast<float>(width)));
    const int h = std::max(2, static_cast<int>(uniform(rng, 0.02f, 0.3f) * static_cast<float>(height)));
    cv::rectangle(picture, cv::Rect(x - w / 2, y - h / 2, w, h),
                  cv::Scalar(uniform(rng, 0, 255), uniform(rng, 0, 255), uniform(rng, 0, 255)), cv::FILLED);
  }
  const float half_diagonal = 0.5f * std::hypot(static_cast<float>(width), static_cast<float>(height));
  vignette(picture, distance_map(width, height, static_cast<float>(width - 1) / 2, static_cast<float>(height - 1) / 2),
           half_diagonal, uniform(rng, 0.2f, 0.5f));
  return picture;
}

// What the kinds of real footage add around the circle, and the lens's softness.
void add_artefacts(cv::Mat& picture, PictureKind kind, const cv::Mat& distance, const Rim& rim, std::mt19937& rng) {
  switch (kind) {
    case PictureKind::kText: burn_text(picture, rim, rng() % 3 != 0, rng); break;
    case PictureKind::kHalo: add_halo(picture, rim, rng); break;
    case PictureKind::kFringe: add_fringe(picture, rim, rng); break;
    case PictureKind::kDarkRim: darken_rim_sector(picture, rim, rng); break;
    case PictureKind::kCutFringe:
      add_fringe(picture, rim, rng);
      burn_text(picture, rim, false, rng);
      break;
    case PictureKind::kLightSurround: {
      // Paper: near white with a little grain.
      cv::Mat paper(picture.size(), CV_32FC3);
      cv::randn(paper, cv::Scalar::all(uniform(rng, 205, 245)), cv::Scalar::all(uniform(rng, 1, 4)));
      paper.copyTo(picture, distance >= rim.radius);
      break;
    }
    case PictureKind::kSeaRim: add_sea(picture, rim, rng); break;
    case PictureKind::kRecording:
      add_clutter(picture, rim, rng);
      // Each with its own chance, as cameras combine them.
      if (rng() % 3 == 0) darken_rim_sector(picture, rim, rng);
      if (rng() % 3 == 0) add_fringe(picture, rim, rng);
      if (rng() % 3 == 0) add_halo(picture, rim, rng);
      burn_text(picture, rim, rng() % 2 == 0, rng);
      picture = picture * (1.0f - 16.0f / 255.0f) + cv::Scalar::all(16);  // video's black is not 0
      break;
    default: return;  // the older kinds keep their hard rim
  }
  soften(picture, rng);
}

}  // namespace

const char* kind_name(PictureKind kind) {
  switch (kind) {
    case PictureKind::kScene: return "scene";
    case PictureKind::kOffCentre: return "off-centre";
    case PictureKind::kCutCircle: return "cut";
    case PictureKind::kDarkScene: return "dark";
    case PictureKind::kHousing: return "housing";
    case PictureKind::kLowContrast: return "low-contrast";
    case PictureKind::kFlatDisc: return "flat disc";
    case PictureKind::kFullFrame: return "full frame";
    case PictureKind::kOrdinary: return "ordinary";
    case PictureKind::kBlack: return "black";
    case PictureKind::kText: return "text";
    case PictureKind::kHalo: return "halo";
    case PictureKind::kFringe: return "fringe";
    case PictureKind::kDarkRim: return "dark rim";
    case PictureKind::kCutFringe: return "cut fringe";
    case PictureKind::kLightSurround: return "light surround";
    case PictureKind::kTestPattern: return "test pattern";
    case PictureKind::kSeaRim: return "sea rim";
    case PictureKind::kRecording: return "recording";
    case PictureKind::kGreyText: return "grey text";
    case PictureKind::kDualLens: return "dual lens";
    default: return "?";
  }
}

namespace {

// Two circles a little larger than half the frame's height, each cut by
// the frame and meeting the other at the seam, with a soft dark edge
// inside each rim.
CameraPicture dual_lens_picture(int width, std::mt19937& rng) {
  CameraPicture out;
  out.kind = PictureKind::kDualLens;
  out.jpeg_quality = static_cast<int>(uniform(rng, 60, 90.99f));
  const int height = width / 2;
  const auto w = static_cast<float>(width), h = static_cast<float>(height);
  out.radius = h * uniform(rng, 0.47f, 0.54f);
  out.radius2 = out.radius * uniform(rng, 0.99f, 1.01f);
  out.cx = w / 4 - 0.5f + w * uniform(rng, -0.01f, 0.01f);
  out.cy = h / 2 - 0.5f + h * uniform(rng, -0.01f, 0.01f);
  out.cx2 = 3 * w / 4 - 0.5f + w * uniform(rng, -0.01f, 0.01f);
  out.cy2 = h / 2 - 0.5f + h * uniform(rng, -0.01f, 0.01f);
  const cv::Mat left = scene(width, height, out.cx, out.cy, out.radius, rng);
  const cv::Mat right = scene(width, height, out.cx2, out.cy2, out.radius2, rng);
  cv::Mat picture = left.clone();
  right.colRange(width / 2, width).copyTo(picture.colRange(width / 2, width));
  const cv::Mat d1 = distance_map(width, height, out.cx, out.cy), d2 = distance_map(width, height, out.cx2, out.cy2);
  const float edge = uniform(rng, 0.006f, 0.012f), floor = uniform(rng, 0.35f, 0.6f);
  for (int y = 0; y < height; ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    for (int x = 0; x < width; ++x) {
      const bool left_half = x < width / 2;
      const float d = (left_half ? d1 : d2).at<float>(y, x), r = left_half ? out.radius : out.radius2;
      const float t = std::min(1.0f, d / r);
      row[x] *= (1.0f - 0.35f * t * t) * std::clamp((r - d) / (edge * r), floor, 1.0f);
    }
  }
  soften(picture, rng);
  out.bgr = as_stored(picture, rng, out.jpeg_quality);
  return out;
}

}  // namespace

CameraPicture camera_picture(PictureKind kind, int width, int height, std::mt19937& rng) {
  if (kind == PictureKind::kDualLens) return dual_lens_picture(width, rng);
  CameraPicture out;
  out.kind = kind;
  out.jpeg_quality = static_cast<int>(uniform(rng, 60, 90.99f));
  const auto w = static_cast<float>(width), h = static_cast<float>(height);
  const float short_side = std::min(w, h);
  const float mid_x = (w - 1) / 2, mid_y = (h - 1) / 2;
  float spread = 0.08f, r_lo = 0.30f, r_hi = 0.49f;
  switch (kind) {
    case PictureKind::kScene: spread = 0.05f; break;
    case PictureKind::kOffCentre:
      spread = 0.15f;
      r_lo = 0.27f;
      r_hi = 0.40f;
      break;
    case PictureKind::kRecording:
      spread = 0.06f;
      r_lo = 0.40f;
      r_hi = rng() % 3 == 0 && width != height ? 0.6f : 0.49f;  // some cut at top and bottom
      break;
    case PictureKind::kCutCircle:
    case PictureKind::kCutFringe:
      spread = 0.03f;
      r_lo = 0.53f;
      r_hi = width == height ? 0.56f : 0.62f;
      break;
    default: break;
  }
  out.cx = mid_x + w * uniform(rng, -spread, spread);
  out.cy = mid_y + h * uniform(rng, -spread, spread);
  if (kind == PictureKind::kOffCentre) {  // at least 8 % off on one axis
    const float push = (rng() % 2 ? 1.0f : -1.0f) * uniform(rng, 0.08f, 0.15f);
    if (rng() % 2)
      out.cx = mid_x + w * push;
    else
      out.cy = mid_y + h * push;
  }
  out.radius = short_side * uniform(rng, r_lo, r_hi);

  cv::Mat picture;
  float vignetting = uniform(rng, 0.1f, 0.45f);
  switch (kind) {
    case PictureKind::kFullFrame:
      out.cx = mid_x;
      out.cy = mid_y;
      picture = scene(width, height, mid_x, mid_y, 0.5f * std::hypot(w, h) * uniform(rng, 1.02f, 1.3f), rng);
      out.radius = 0;
      break;
    case PictureKind::kOrdinary:
      picture = ordinary_picture(width, height, rng);
      out.radius = 0;
      vignetting = 0;
      break;
    case PictureKind::kBlack:
      picture = cv::Mat(height, width, CV_32FC3, cv::Scalar::all(uniform(rng, 0, 12)));
      out.radius = 0;
      vignetting = 0;
      break;
    case PictureKind::kGreyText:
      picture = cv::Mat(height, width, CV_32FC3, cv::Scalar::all(uniform(rng, 60, 170)));
      burn_text(picture, {mid_x, mid_y, 0.45f * short_side}, true, rng);
      out.radius = 0;
      vignetting = 0;
      break;
    case PictureKind::kTestPattern: picture = test_pattern(width, height, {out.cx, out.cy, out.radius}, rng); break;
    case PictureKind::kFlatDisc: {
      const bool bright = rng() % 2;
      const float level = bright ? uniform(rng, 180, 240) : uniform(rng, 35, 70);
      picture = cv::Mat(height, width, CV_32FC3, cv::Scalar::all(0));
      const cv::Mat d = distance_map(width, height, out.cx, out.cy);
      picture.setTo(cv::Scalar(level, level * uniform(rng, 0.8f, 1.0f), level * uniform(rng, 0.8f, 1.0f)),
                    d < out.radius);
      vignetting = uniform(rng, 0.0f, 0.2f);
      break;
    }
    default: picture = scene(width, height, out.cx, out.cy, out.radius, rng); break;
  }
  if (out.radius > 0) {
    const cv::Mat d = distance_map(width, height, out.cx, out.cy);
    if (kind == PictureKind::kLowContrast) vignetting = uniform(rng, 0.7f, 0.85f);
    if (kind == PictureKind::kRecording) {
      vignetting = uniform(rng, 0.3f, 0.7f);
      out.jpeg_quality = static_cast<int>(uniform(rng, 40, 70.99f));
    }
    vignette(picture, d, out.radius, vignetting);
    if (kind == PictureKind::kDarkScene) picture *= uniform(rng, 0.1f, 0.25f);
    if (kind == PictureKind::kHousing) {
      // A matte ring a few per cent of the radius wide, lit from one side.
      const float outer = out.radius * uniform(rng, 1.03f, 1.10f);
      const float grey = uniform(rng, 25, 55);
      const float tilt = uniform(rng, 0, 6.2832f);
      for (int y = 0; y < height; ++y) {
        auto* row = picture.ptr<cv::Vec3f>(y);
        const float* dist = d.ptr<float>(y);
        for (int x = 0; x < width; ++x) {
          if (dist[x] < out.radius || dist[x] >= outer) continue;
          const float side =
              std::cos(std::atan2(static_cast<float>(y) - out.cy, static_cast<float>(x) - out.cx) - tilt);
          row[x] = cv::Vec3f::all(grey * (0.75f + 0.25f * side));
        }
      }
    }
    if (kind == PictureKind::kLowContrast) {
      const float lift = uniform(rng, 20, 35);
      picture = picture * (1.0f - lift / 255.0f) + cv::Scalar::all(lift);
    }
    add_artefacts(picture, kind, d, {out.cx, out.cy, out.radius}, rng);
  } else if (vignetting > 0) {
    vignette(picture, distance_map(width, height, mid_x, mid_y), 0.5f * std::hypot(w, h), vignetting);
  }
  out.bgr = as_stored(picture, rng, out.jpeg_quality);
  return out;
}

}  // namespace orb::test
