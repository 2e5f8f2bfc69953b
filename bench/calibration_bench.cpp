// Accuracy and speed of the lens-circle detection on synthetic fisheye
// pictures made at run time: three picture sizes, centres off the middle,
// radii from a quarter of the short side to circles cut by the frame,
// varied scenes, sensor noise, vignetting and JPEG compression at quality
// 75. Prints the success rate, the median and 95th-percentile errors and
// the time per detection. Figures only; nothing is asserted.
#include <calibration/circle_detection.h>
#include <synth/fisheye_clip.h>

#include "synthetic_picture.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

struct Case {
  int width, height;
  float cx, cy, radius;
  int variant;
};

struct Outcome {
  bool found = false;
  bool in_band = false;  // centre within the detection's band (10 % of the frame around the middle)
  double centre_px = 0, radius_pct = 0, ms = 0;
};

// Vignetting towards the rim, sensor noise, then JPEG at quality 75.
cv::Mat as_camera_would(const cv::Mat& clean, const Case& c, std::mt19937& rng) {
  cv::Mat picture;
  clean.convertTo(picture, CV_32FC3);
  const float strength = std::getenv("NO_VIGNETTE") ? 0.0f : std::uniform_real_distribution<float>(0.1f, 0.45f)(rng);
  for (int y = 0; y < picture.rows; ++y) {
    auto* row = picture.ptr<cv::Vec3f>(y);
    for (int x = 0; x < picture.cols; ++x) {
      const float d = std::hypot(static_cast<float>(x) - c.cx, static_cast<float>(y) - c.cy) / c.radius;
      row[x] *= 1.0f - strength * std::min(1.0f, d * d);
    }
  }
  cv::Mat noise(picture.size(), CV_32FC3);
  cv::randn(noise, 0, std::getenv("NO_NOISE") ? 0.0 : std::uniform_real_distribution<double>(1.0, 4.0)(rng));
  picture += noise;
  cv::Mat eight;
  picture.convertTo(eight, CV_8UC3);
  std::vector<std::uint8_t> jpeg;
  cv::imencode(".jpg", eight, jpeg, {cv::IMWRITE_JPEG_QUALITY, 75});
  return cv::imdecode(jpeg, cv::IMREAD_COLOR);
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(std::min<double>(static_cast<double>(v.size()) - 1, p * static_cast<double>(v.size() - 1) + 0.5))];
}

void report(const char* label, const std::vector<Outcome>& outcomes) {
  std::vector<double> centre, radius, ms;
  int ok = 0, band = 0, band_ok = 0;
  for (const Outcome& o : outcomes) {
    ms.push_back(o.ms);
    band += o.in_band;
    band_ok += o.in_band && o.found;
    if (!o.found) continue;
    ++ok;
    centre.push_back(o.centre_px);
    radius.push_back(o.radius_pct);
  }
  double mean_ms = 0;
  for (double m : ms) mean_ms += m;
  mean_ms /= static_cast<double>(std::max<std::size_t>(1, ms.size()));
  std::printf("%-10s found %3d/%-3zu (%5.1f %%), centre in band %3d/%-3d (%5.1f %%)  centre error median %5.2f px "
              "p95 %5.2f px  radius error median %4.2f %% p95 %4.2f %%  %5.1f ms/detection\n",
              label, ok, outcomes.size(), 100.0 * ok / static_cast<double>(outcomes.size()), band_ok, band,
              band ? 100.0 * band_ok / band : 0.0, percentile(centre, 0.5), percentile(centre, 0.95),
              percentile(radius, 0.5), percentile(radius, 0.95), mean_ms);
}

}  // namespace

int main(int argc, char** argv) {
  // VERBOSE=1 lists every case; NO_NOISE / NO_VIGNETTE leave those out.
  const int per_size = argc > 1 ? std::max(1, std::atoi(argv[1])) : 24;
  std::mt19937 rng(20261207);
  struct Size {
    int w, h;
    const char* label;
  };
  const Size sizes[] = {{1280, 720, "1280x720"}, {1920, 1080, "1920x1080"}, {2880, 2880, "2880x2880"}};
  std::vector<Outcome> all;
  for (const Size& size : sizes) {
    std::vector<Outcome> outcomes;
    const float short_side = static_cast<float>(std::min(size.w, size.h));
    for (int i = 0; i < per_size; ++i) {
      Case c{size.w, size.h, 0, 0, 0, i};
      std::uniform_real_distribution<float> offset(-0.15f, 0.15f);
      c.cx = static_cast<float>(size.w) * (0.5f + offset(rng));
      c.cy = static_cast<float>(size.h) * (0.5f + offset(rng));
      // From a quarter of the short side up to circles the frame cuts.
      const float largest = size.w == size.h ? 0.56f : 0.62f;
      c.radius = short_side * std::uniform_real_distribution<float>(0.27f, largest)(rng);
      orb::synth::ClipSpec spec;
      spec.width = c.width;
      spec.height = c.height;
      spec.centre_x = c.cx;
      spec.centre_y = c.cy;
      spec.radius = c.radius;
      spec.fov_deg = std::uniform_real_distribution<float>(180, 220)(rng);
      spec.scene_variant = c.variant;
      const cv::Mat picture = as_camera_would(orb::test::to_bgr(orb::synth::render_scene(spec)), c, rng);

      float cx = 0, cy = 0, r = orb::kNoCircleRadius;
      const auto t0 = std::chrono::steady_clock::now();
      const bool found = orb::DetectFisheyeCircle(picture, orb::CircleDetectParams{}, cx, cy, r);
      const auto t1 = std::chrono::steady_clock::now();
      Outcome o;
      o.ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
      o.centre_px = std::hypot(cx - c.cx, cy - c.cy);
      o.radius_pct = std::abs(r - c.radius) / c.radius * 100;
      // A detection counts when it is the lens's circle, not another edge.
      o.found = found && o.centre_px < 0.05 * c.radius && o.radius_pct < 5;
      o.in_band = std::abs(c.cx / static_cast<float>(c.width) - 0.5f) <= 0.095f &&
                  std::abs(c.cy / static_cast<float>(c.height) - 0.5f) <= 0.095f;
      if (std::getenv("VERBOSE")) {
        std::printf("  %dx%d centre %.0f,%.0f r %.0f (%.2f of the short side) -> %s %.1f,%.1f r %.1f\n", c.width,
                    c.height, c.cx, c.cy, c.radius, c.radius / short_side, found ? "found" : "not found", cx, cy, r);
      }
      outcomes.push_back(o);
    }
    report(size.label, outcomes);
    all.insert(all.end(), outcomes.begin(), outcomes.end());
  }
  report("all", all);
  return 0;
}
