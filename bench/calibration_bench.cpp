// Accuracy and speed of the lens-circle detection on pictures made at run
// time as real cameras deliver them (see camera_pictures.h and
// camera_clips.h): five picture sizes from 640x480 to 4K, every kind of
// hard case, JPEG quality 60-90, pictures that hold no lens circle, short
// clips judged over their first seconds, and the real photographs in the
// shared realdata folder. Prints, per size and per kind: how many circles
// were found right (centre within max(2 px, 1 % of the radius), radius
// within 1 %), found wrong and missed; the centre and radius errors of what
// was found; the time per detection; and how many pictures without a
// circle were wrongly given one. Figures only.
//
//   calibration_bench [CASES_PER_KIND_AND_SIZE]   (2 by default)
//   VERBOSE=1 lists every case; ONLY=<kind> runs one kind ("housing", "cut", ...);
//   REALDATA=<dir> names the real photographs' folder; CLIPS=0 skips the clips;
//   DUMP=<dir> writes every picture there as PNG.
#include <calibration/circle_detection.h>
#include <calibration/frame_samples.h>

#include <opencv2/imgcodecs.hpp>

#include "camera_clips.h"
#include "camera_pictures.h"
#include "real_pictures.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using orb::test::PictureKind;
using Clock = std::chrono::steady_clock;

struct Outcome {
  bool found = false, right = false;
  double centre_px = 0, radius_signed_pct = 0, ms = 0;
};

bool is_right(const orb::LensCircle& c, float cx, float cy, float r) {
  return c.found && orb::test::circle_within(c.cx, c.cy, c.radius, cx, cy, r);
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  const double at = p * static_cast<double>(v.size() - 1);
  const auto lo = static_cast<std::size_t>(std::floor(at));
  const std::size_t hi = std::min(v.size() - 1, lo + 1);
  return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

double ms_since(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

struct Tally {
  std::vector<Outcome> circles;
  int no_circle = 0, false_found = 0;
  std::vector<double> ms;

  void add(const Tally& other) {
    circles.insert(circles.end(), other.circles.begin(), other.circles.end());
    ms.insert(ms.end(), other.ms.begin(), other.ms.end());
    no_circle += other.no_circle;
    false_found += other.false_found;
  }

  void print(const std::string& label) const {
    std::vector<double> centre, radius_abs, radius_signed;
    int right = 0, wrong = 0;
    for (const Outcome& o : circles) {
      right += o.right;
      wrong += o.found && !o.right;
      if (!o.found) continue;
      centre.push_back(o.centre_px);
      radius_abs.push_back(std::abs(o.radius_signed_pct));
      radius_signed.push_back(o.radius_signed_pct);
    }
    const auto n = static_cast<int>(circles.size());
    std::printf("| %-14s | %3d | %5.1f %% | %3d | %3d | %5.2f / %5.2f | %+6.3f / %5.3f | %6.1f / %6.1f | %d of %d |\n",
                label.c_str(), n, n ? 100.0 * right / n : 0.0, wrong, n - right - wrong, percentile(centre, 0.5),
                percentile(centre, 0.95), percentile(radius_signed, 0.5), percentile(radius_abs, 0.95),
                percentile(ms, 0.5), percentile(ms, 0.95), false_found, no_circle);
  }
};

void print_header(const char* first) {
  std::printf(
      "| %s | circles | found right | wrong | missed | centre error px median / p95 | "
      "radius error %% signed median / abs p95 | ms per detection median / p95 | no-circle pictures given a circle |\n",
      first);
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
}

void run_real(const std::filesystem::path& dir) {
  const std::vector<orb::test::RealPicture> truths = orb::test::real_pictures(dir);
  std::printf("\nreal photographs (%s):\n\n", dir.c_str());
  if (truths.empty()) {
    std::printf("none found\n");
    return;
  }
  std::printf("| picture | truth | result | centre error px | radius error %% | ms |\n|---|---|---|---|---|---|\n");
  for (const orb::test::RealPicture& t : truths) {
    const cv::Mat picture = cv::imread((dir / t.file).string(), cv::IMREAD_COLOR);
    const auto t0 = Clock::now();
    const orb::LensCircle c = orb::detect_lens_circle(picture);
    const double ms = ms_since(t0);
    const auto& [tx, ty, tr] = t.circles[0];
    std::string result;
    double centre = NAN, radius = NAN;
    if (t.circles.size() == 2) {
      const auto& [ux, uy, ur] = t.circles[1];
      const bool both = c.dual_lens && orb::test::circle_within(c.cx, c.cy, c.radius, tx, ty, tr) &&
                        orb::test::circle_within(c.second_cx, c.second_cy, c.second_radius, ux, uy, ur);
      result = c.found       ? "WRONG: one lens"
               : c.dual_lens ? (both ? "right: dual lens, both circles right" : "dual lens, circles off")
                             : "refused: " + c.reason;
      if (c.dual_lens) {
        centre = std::max(std::hypot(c.cx - tx, c.cy - ty), std::hypot(c.second_cx - ux, c.second_cy - uy));
        radius = std::max(std::abs(c.radius - tr) / tr, std::abs(c.second_radius - ur) / ur) * 100;
      }
    } else {
      centre = std::hypot(c.cx - tx, c.cy - ty);
      radius = (c.radius - tr) / tr * 100;
      result = is_right(c, tx, ty, tr) ? "right" : c.found ? "WRONG" : "missed: " + c.reason;
      if (!c.found && !c.dual_lens) centre = radius = NAN;
    }
    std::printf("| %s | %zu circle%s | %s | %.2f | %+.3f | %.1f |\n", t.file.c_str(), t.circles.size(),
                t.circles.size() > 1 ? "s" : "", result.c_str(), centre, radius, ms);
  }
}

void run_clips(int per_kind, bool verbose, std::mt19937& rng) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("orb_calibration_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::printf("\nclips (4 s, 25 fps, H.264), judged over their first seconds:\n\n");
  std::printf("| clip | size | found right | ms per video median / max | pictures used |\n|---|---|---|---|---|\n");
  const cv::Size sizes[] = {{1280, 720}, {1920, 1080}};
  for (int k = 0; k < static_cast<int>(orb::test::ClipKind::kCount); ++k) {
    const auto kind = static_cast<orb::test::ClipKind>(k);
    for (const cv::Size& size : sizes) {
      int right = 0, n = 0, frames = 0;
      std::vector<double> ms;
      for (int i = 0; i < per_kind; ++i) {
        const std::string path = (dir / "clip.mp4").string();
        std::string error;
        const orb::test::CameraClip clip =
            orb::test::write_camera_clip(path, kind, size.width, size.height, rng, error);
        if (clip.radius <= 0) {
          std::printf("cannot write a clip: %s\n", error.c_str());
          continue;
        }
        const auto t0 = Clock::now();
        const orb::LensCircle c = orb::detect_video_circle(path.c_str());
        ms.push_back(ms_since(t0));
        ++n;
        right += is_right(c, clip.cx, clip.cy, clip.radius);
        frames = c.frames;
        if (verbose) {
          std::printf("  %s %dx%d centre %.1f,%.1f r %.1f -> %s %.2f,%.2f r %.2f (%.0f ms, %d pictures) %s\n",
                      orb::test::clip_kind_name(kind), size.width, size.height, clip.cx, clip.cy, clip.radius,
                      c.found ? "found" : "none", c.cx, c.cy, c.radius, ms.back(), c.frames, c.reason.c_str());
        }
      }
      std::printf("| %s | %dx%d | %d of %d | %.0f / %.0f | %d |\n", orb::test::clip_kind_name(kind), size.width,
                  size.height, right, n, percentile(ms, 0.5), percentile(ms, 1.0), frames);
    }
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  const int per_kind = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
  const bool verbose = std::getenv("VERBOSE") != nullptr;
  const char* only = std::getenv("ONLY");
  av_log_set_level(AV_LOG_ERROR);
  std::mt19937 rng(20261207);
  struct Size {
    int w, h;
    const char* label;
  };
  const Size sizes[] = {{640, 480, "640x480"},
                        {1280, 720, "1280x720"},
                        {1920, 1080, "1920x1080"},
                        {2880, 2880, "2880x2880"},
                        {3840, 2160, "3840x2160"}};
  std::vector<PictureKind> kinds;
  for (int k = 0; k < static_cast<int>(PictureKind::kCount); ++k) kinds.push_back(static_cast<PictureKind>(k));
  const PictureKind no_circle_kinds[] = {PictureKind::kFullFrame, PictureKind::kOrdinary, PictureKind::kBlack,
                                         PictureKind::kGreyText};

  print_header("size");
  Tally all;
  std::map<PictureKind, Tally> by_kind;
  std::map<std::pair<PictureKind, int>, std::pair<int, int>> cells;  // (kind, size) -> right, total
  for (int s = 0; s < static_cast<int>(std::size(sizes)); ++s) {
    const Size& size = sizes[s];
    Tally tally;
    auto run = [&](PictureKind kind) {
      const orb::test::CameraPicture pic = orb::test::camera_picture(kind, size.w, size.h, rng);
      // ONLY=<kind name> runs the detection on that kind alone (the pictures stay the same).
      if (only && std::string(only) != orb::test::kind_name(kind)) return;
      if (const char* dump = std::getenv("DUMP")) {  // the pictures themselves, to look at
        cv::imwrite(std::string(dump) + "/" + size.label + "_" + orb::test::kind_name(kind) + "_" +
                        std::to_string(cells[{kind, s}].second) + ".png",
                    pic.bgr);
      }
      const auto t0 = Clock::now();
      const orb::LensCircle circle = orb::detect_lens_circle(pic.bgr);
      const double ms = ms_since(t0);
      Tally one;
      one.ms.push_back(ms);
      if (kind == PictureKind::kDualLens) {
        // Right: refused as dual-lens with both circles right; wrong: one lens reported.
        Outcome o;
        o.found = circle.found || circle.dual_lens;
        o.centre_px = std::max(std::hypot(circle.cx - pic.cx, circle.cy - pic.cy),
                               std::hypot(circle.second_cx - pic.cx2, circle.second_cy - pic.cy2));
        o.radius_signed_pct = (circle.radius - pic.radius) / pic.radius * 100;
        orb::LensCircle second = circle;
        second.found = second.dual_lens;
        second.cx = circle.second_cx;
        second.cy = circle.second_cy;
        second.radius = circle.second_radius;
        orb::LensCircle first = circle;
        first.found = circle.dual_lens;
        o.right = is_right(first, pic.cx, pic.cy, pic.radius) && is_right(second, pic.cx2, pic.cy2, pic.radius2);
        one.circles.push_back(o);
        cells[{kind, s}].first += o.right;
      } else if (pic.radius <= 0) {
        one.no_circle = 1;
        one.false_found = circle.found;
        cells[{kind, s}].first += !circle.found;
      } else {
        Outcome o;
        o.found = circle.found;
        o.ms = ms;
        o.centre_px = std::hypot(circle.cx - pic.cx, circle.cy - pic.cy);
        o.radius_signed_pct = (circle.radius - pic.radius) / pic.radius * 100;
        o.right = is_right(circle, pic.cx, pic.cy, pic.radius);
        one.circles.push_back(o);
        cells[{kind, s}].first += o.right;
      }
      cells[{kind, s}].second += 1;
      tally.add(one);
      by_kind[kind].add(one);
      if (verbose) {
        std::printf(
            "  %s %-12s q%d centre %.1f,%.1f r %.1f -> %s %.2f,%.2f r %.2f confidence %.2f rms %.2f "
            "visible %.2f (%.1f ms) %s\n",
            size.label, orb::test::kind_name(kind), pic.jpeg_quality, pic.cx, pic.cy, pic.radius,
            circle.found ? "found" : "none", circle.cx, circle.cy, circle.radius, circle.confidence, circle.residual_px,
            circle.visible_share, ms, circle.reason.c_str());
      }
    };
    for (int i = 0; i < per_kind; ++i) {
      for (PictureKind kind : kinds) run(kind);
    }
    for (PictureKind kind : no_circle_kinds) run(kind);
    for (int i = 0; i < per_kind; ++i) run(PictureKind::kDualLens);
    tally.print(size.label);
    all.add(tally);
  }
  all.print("all");

  std::printf("\n");
  print_header("kind");
  for (const auto& [kind, tally] : by_kind) tally.print(orb::test::kind_name(kind));

  // Kind by size: circles found right (or, for pictures without one, refused) of those tried.
  std::printf("\n| kind |");
  for (const Size& size : sizes) std::printf(" %s |", size.label);
  std::printf("\n|---|");
  for (std::size_t s = 0; s < std::size(sizes); ++s) std::printf("---|");
  std::printf("\n");
  for (const auto& [kind, tally] : by_kind) {
    std::printf("| %s%s |", orb::test::kind_name(kind),
                tally.circles.empty()            ? " (refused)"
                : kind == PictureKind::kDualLens ? " (refused as dual-lens, both circles right)"
                                                 : "");
    for (int s = 0; s < static_cast<int>(std::size(sizes)); ++s) {
      const auto& [right, total] = cells[{kind, s}];
      std::printf(" %d/%d |", right, total);
    }
    std::printf("\n");
  }

  const char* real = std::getenv("REALDATA");
  run_real(real ? real : ORB_REALDATA_DIR);
  const char* clips = std::getenv("CLIPS");
  if (!only && !(clips && std::string(clips) == "0")) run_clips(std::max(1, per_kind / 2), verbose, rng);
  return 0;
}
