#include "camera_clips.h"

#include <synth/fisheye_clip.h>

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "camera_overlays.h"
#include "synthetic_picture.h"

namespace orb::test {
namespace {

cv::Mat to_bgr_float(const synth::Picture& p) {
  cv::Mat out;
  to_bgr(p).convertTo(out, CV_32FC3);
  return out;
}

void from_bgr_float(const cv::Mat& bgr, synth::Picture& p) {
  cv::Mat eight, i420;
  bgr.convertTo(eight, CV_8UC3);
  cv::cvtColor(eight, i420, cv::COLOR_BGR2YUV_I420);
  const std::uint8_t* data = i420.data;
  std::copy(data, data + p.y.size(), p.y.begin());
  std::copy(data + p.y.size(), data + p.y.size() + p.u.size(), p.u.begin());
  std::copy(data + p.y.size() + p.u.size(), data + p.y.size() + p.u.size() + p.v.size(), p.v.begin());
}

}  // namespace

const char* clip_kind_name(ClipKind kind) {
  switch (kind) {
    case ClipKind::kClock: return "clock";
    case ClipKind::kDarkStart: return "dark start";
    case ClipKind::kMovingShade: return "moving shade";
    case ClipKind::kHaloFringe: return "halo fringe";
    default: return "?";
  }
}

CameraClip write_camera_clip(const std::string& path, ClipKind kind, int width, int height, std::mt19937& rng,
                             std::string& error) {
  CameraClip clip;
  const auto w = static_cast<float>(width), h = static_cast<float>(height);
  clip.cx = (w - 1) / 2 + w * uniform(rng, -0.04f, 0.04f);
  clip.cy = (h - 1) / 2 + h * uniform(rng, -0.04f, 0.04f);
  // Some cut at top and bottom, as a wide sensor records a large circle.
  clip.radius = std::min(w, h) * uniform(rng, 0.42f, rng() % 2 ? 0.56f : 0.48f);
  clip.seconds = 4;

  synth::ClipSpec spec;
  spec.width = width;
  spec.height = height;
  spec.fps_num = 25;
  spec.seconds = clip.seconds;
  spec.centre_x = clip.cx;
  spec.centre_y = clip.cy;
  spec.radius = clip.radius;
  spec.fov_deg = uniform(rng, 180, 220);
  spec.scene_variant = static_cast<int>(rng() % 8);
  spec.audio = synth::AudioTrack::kNone;
  const Rim rim{clip.cx, clip.cy, clip.radius};
  const auto seed = static_cast<unsigned>(rng());
  const std::string name = rng() % 2 ? "CAM01" : "My Camera";
  // Drawn once per second of the clip and repeated for its other pictures:
  // the clock ticks, the shade moves and the dark start ends on seconds.
  auto drawn = std::make_shared<std::map<int, synth::Picture>>();
  spec.overlay = [=](int number, synth::Picture& picture) {
    const int second = number / spec.fps_num;
    if (const auto hit = drawn->find(second); hit != drawn->end()) {
      picture = hit->second;
      return;
    }
    std::mt19937 same(seed);  // the scene's and the lens's artefacts are the same in every picture
    cv::Mat bgr = to_bgr_float(picture);
    add_clutter(bgr, rim, same);
    if (kind == ClipKind::kDarkStart && second < 2) bgr *= 0.02;
    if (kind == ClipKind::kMovingShade) {
      std::mt19937 turning(seed + static_cast<unsigned>(second));
      darken_rim_sector(bgr, rim, turning);
    }
    // A real lens: darker towards the rim, blue reaching past green at its edge.
    const cv::Mat distance = distance_map(bgr.cols, bgr.rows, rim.cx, rim.cy);
    for (int y = 0; y < bgr.rows; ++y) {
      auto* row = bgr.ptr<cv::Vec3f>(y);
      const float* d = distance.ptr<float>(y);
      for (int x = 0; x < bgr.cols; ++x)
        row[x] *= 1.0f - 0.5f * std::min(1.0f, d[x] * d[x] / (rim.radius * rim.radius));
    }
    add_fringe(bgr, rim, same);
    if (kind == ClipKind::kHaloFringe) add_halo(bgr, rim, same);
    soften(bgr, same);
    burn_clock(bgr, second, name, 0.035f);
    from_bgr_float(bgr, picture);
    (*drawn)[second] = picture;
  };
  error = synth::write_clip(path, spec);
  if (!error.empty()) clip.radius = 0;
  return clip;
}

}  // namespace orb::test
