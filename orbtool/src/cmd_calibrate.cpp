// orbtool calibrate: the lens circle of a picture or of a video's first
// frame, written as a calibration file. orbtool inspect: a calibration
// file's fields and whether it is usable.
#include <calibration/calibrate_picture.h>
#include <calibration/circle_detection.h>
#include <calibration/frame_samples.h>
#include <geometry/calibration_file.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "args.h"

namespace orb::tool {

int calibrate_main(int argc, char** argv) {
  std::string error;
  const Args args = parse_args(argc, argv, {"o", "out", "fov"}, {}, error);
  if (error.empty() && args.positional.size() != 1) error = "error: calibrate needs one picture or video";
  float fov = 200;
  if (error.empty() && args.get("fov")) {
    const auto f = to_number(*args.get("fov"));
    if (!f || *f <= 0 || *f > 360)
      error = "error: --fov must be above 0 and at most 360 degrees";
    else
      fov = static_cast<float>(*f);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const std::string media = args.positional[0];
  std::string out = args.get("o").value_or(args.get("out").value_or(""));
  if (out.empty()) out = std::filesystem::path(media).replace_extension(".inf").string();

  // The picture itself, or the video judged over its first seconds.
  const LensCircle circle = detect_video_circle(media.c_str());
  if (circle.picture_width == 0) {
    if (circle.reason.rfind("error: ", 0) == 0)
      std::fprintf(stderr, "%s\n", circle.reason.c_str());
    else
      std::fprintf(stderr, "error: %s is neither a picture nor a video with a picture in it\n", media.c_str());
    return 1;
  }
  if (circle.dual_lens) {
    // Never written as one lens: the player cannot stitch two yet.
    std::fprintf(stderr, "error: two lens circles found in %s: a dual-lens 360° picture\n", media.c_str());
    return 1;
  }
  if (!circle.found) {
    std::fprintf(stderr, "error: no lens circle found in %s (%s)\n", media.c_str(), circle.reason.c_str());
    return 1;
  }
  const float cx = circle.cx, cy = circle.cy, radius = circle.radius;
  const int width = circle.picture_width, height = circle.picture_height;
  const bool complete = circle_is_complete(cx, cy, radius, width, height);
  std::printf("picture %dx%d: centre %.2f, %.2f  radius %.2f px  (%s)\n", width, height, cx, cy, radius,
              complete ? "complete circle" : "circle cut by the frame");
  std::printf("confidence %.2f: %d rim points, %.2f px from the circle on average\n", circle.confidence,
              circle.rim_points, circle.residual_px);
  if (circle.frames > 1) std::printf("judged over %d pictures of its first %.0f s\n", circle.frames, kJudgedSeconds);
  if (WriteCalibrationFile(out.c_str(), fov, cx, cy, radius, width, height) != 0) {
    std::fprintf(stderr, "error: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("wrote %s (field of view %.0f degrees)\n", out.c_str(), fov);
  return 0;
}

int inspect_main(int argc, char** argv) {
  std::string error;
  const Args args = parse_args(argc, argv, {}, {}, error);
  if (error.empty() && args.positional.size() != 1) error = "error: inspect needs one calibration file";
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const std::string path = args.positional[0];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "error: cannot open %s\n", path.c_str());
    return 1;
  }
  std::array<unsigned char, kCalibrationFileSize> bytes{};
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::size_t>(in.gcount()) != bytes.size()) {
    std::fprintf(stderr, "error: %s is too short (%lld of %zu bytes)\n", path.c_str(),
                 static_cast<long long>(in.gcount()), kCalibrationFileSize);
    return 1;
  }
  const CalibrationFile f = decode_calibration(bytes);
  std::printf("%s\n", path.c_str());
  std::printf("  camera count     %d\n", f.camera_count);
  std::printf("  image size       %d x %d\n", f.image_width, f.image_height);
  std::printf("  max ray angle    %.6f rad (field of view %.2f degrees)\n", f.max_ray_angle_rad,
              2.0 * f.max_ray_angle_rad * 180.0 / M_PI);
  std::printf("  coefficients     c1 %.9g  c3 %.9g  c5 %.9g\n", f.c1, f.c3, f.c5);
  for (int k = 0; k < kLensSlots; ++k) {
    const auto& r = f.rotations[static_cast<std::size_t>(k)];
    const auto& c = f.centres[static_cast<std::size_t>(k)];
    std::printf("  lens %d           centre %.2f, %.2f  rotation [%g %g %g; %g %g %g; %g %g %g]\n", k, c[0], c[1], r[0],
                r[1], r[2], r[3], r[4], r[5], r[6], r[7], r[8]);
  }
  CameraParams camera;
  std::fflush(stdout);
  if (apply_calibration(f, camera) != 0) {
    std::printf("invalid\n");
    std::fprintf(stderr, "error: %s is invalid: %s\n", path.c_str(), calibration_fault(f).c_str());
    return 1;
  }
  std::printf("  circle radius    %.2f px\n", camera.circle_radius);
  std::printf("valid\n");
  return 0;
}

}  // namespace orb::tool
