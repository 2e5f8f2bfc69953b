// Accuracy and speed of the lens-circle detection on pictures made at run
// time as real cameras deliver them (see camera_pictures.h): five picture
// sizes from 640x480 to 4K, every kind of hard case, JPEG quality 60-90,
// plus pictures that hold no lens circle. Prints, per size: how many circles
// were found right, found wrong (reported as found but off by more than
// max(2 px, 1 % of the radius) or 1 % in radius) and missed; the centre and
// radius errors of what was found; the time per detection; and how many
// pictures without a circle were wrongly given one. Figures only.
//
//   calibration_bench [CASES_PER_KIND_AND_SIZE]   (2 by default)
//   VERBOSE=1 lists every case; ONLY=<kind> runs one kind ("housing", "cut", ...).
#include <calibration/circle_detection.h>

#include "camera_pictures.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using orb::test::PictureKind;

struct Outcome {
  bool found = false, right = false;
  double centre_px = 0, radius_signed_pct = 0, ms = 0;
};

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  const double at = p * static_cast<double>(v.size() - 1);
  const auto lo = static_cast<std::size_t>(std::floor(at));
  const std::size_t hi = std::min(v.size() - 1, lo + 1);
  return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

struct Tally {
  std::vector<Outcome> circles;
  int no_circle = 0, false_found = 0;
  std::vector<double> ms;

  void print(const char* label) const {
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
    double mean_ms = 0;
    for (double m : ms) mean_ms += m;
    mean_ms /= static_cast<double>(std::max<std::size_t>(1, ms.size()));
    const auto n = static_cast<int>(circles.size());
    std::printf("| %-10s | %3d | %5.1f %% | %3d | %3d | %5.2f / %5.2f | %+6.3f / %5.3f | %6.1f | %d of %d |\n", label,
                n, n ? 100.0 * right / n : 0.0, wrong, n - right - wrong, percentile(centre, 0.5),
                percentile(centre, 0.95), percentile(radius_signed, 0.5), percentile(radius_abs, 0.95), mean_ms,
                false_found, no_circle);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int per_kind = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
  const bool verbose = std::getenv("VERBOSE") != nullptr;
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
  const PictureKind no_circle_kinds[] = {PictureKind::kFullFrame, PictureKind::kOrdinary, PictureKind::kBlack};

  std::printf(
      "| size | circles | found right | wrong | missed | centre error px median / p95 | "
      "radius error %% signed median / abs p95 | ms per detection | no-circle pictures given a circle |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  Tally all;
  std::map<PictureKind, std::pair<int, int>> by_kind;  // right, total
  for (const Size& size : sizes) {
    Tally tally;
    auto run = [&](PictureKind kind) {
      const orb::test::CameraPicture pic = orb::test::camera_picture(kind, size.w, size.h, rng);
      // ONLY=<kind name> runs the detection on that kind alone (the pictures stay the same).
      if (std::getenv("ONLY") && std::string(std::getenv("ONLY")) != orb::test::kind_name(kind)) return;
      const auto t0 = std::chrono::steady_clock::now();
      const orb::LensCircle circle = orb::detect_lens_circle(pic.bgr);
      const bool found = circle.found;
      const float cx = circle.cx, cy = circle.cy, r = circle.radius;
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      tally.ms.push_back(ms);
      if (pic.radius <= 0) {
        ++tally.no_circle;
        tally.false_found += found;
      } else {
        Outcome o;
        o.found = found;
        o.ms = ms;
        o.centre_px = std::hypot(cx - pic.cx, cy - pic.cy);
        o.radius_signed_pct = (r - pic.radius) / pic.radius * 100;
        o.right = found && o.centre_px <= std::max(2.0, 0.01 * pic.radius) && std::abs(o.radius_signed_pct) <= 1;
        tally.circles.push_back(o);
        by_kind[kind].first += o.right;
        by_kind[kind].second += 1;
      }
      if (verbose) {
        std::printf(
            "  %s %-12s q%d centre %.1f,%.1f r %.1f -> %s %.2f,%.2f r %.2f confidence %.2f rms %.2f "
            "visible %.2f (%.1f ms) %s\n",
            size.label, orb::test::kind_name(kind), pic.jpeg_quality, pic.cx, pic.cy, pic.radius,
            found ? "found" : "none", cx, cy, r, circle.confidence, circle.residual_px, circle.visible_share, ms,
            circle.reason.c_str());
      }
    };
    for (int i = 0; i < per_kind; ++i) {
      for (PictureKind kind : kinds) run(kind);
    }
    for (PictureKind kind : no_circle_kinds) run(kind);
    tally.print(size.label);
    all.circles.insert(all.circles.end(), tally.circles.begin(), tally.circles.end());
    all.ms.insert(all.ms.end(), tally.ms.begin(), tally.ms.end());
    all.no_circle += tally.no_circle;
    all.false_found += tally.false_found;
  }
  all.print("all");
  std::printf("\nfound right by kind:");
  for (const auto& [kind, counts] : by_kind) {
    std::printf("  %s %d/%d", orb::test::kind_name(kind), counts.first, counts.second);
  }
  std::printf("\n");
  return 0;
}
