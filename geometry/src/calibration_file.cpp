#include <common/debug_trace.h>
#include <common/file_replace.h>
#include <geometry/calibration_file.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include <unistd.h>

namespace orb {
namespace {

constexpr std::size_t kRotationsOffset = 0;
constexpr std::size_t kCentresOffset = 288;
constexpr std::size_t kCoefficientsOffset = 352;
constexpr std::size_t kCameraCountOffset = 364;
constexpr std::size_t kImageWidthOffset = 368;
constexpr std::size_t kImageHeightOffset = 372;
constexpr std::size_t kMaxAngleOffset = 376;

std::uint32_t load_u32(std::span<const unsigned char, kCalibrationFileSize> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
float load_f32(std::span<const unsigned char, kCalibrationFileSize> b, std::size_t at) {
  return std::bit_cast<float>(load_u32(b, at));
}
std::int32_t load_i32(std::span<const unsigned char, kCalibrationFileSize> b, std::size_t at) {
  return std::bit_cast<std::int32_t>(load_u32(b, at));
}

void store_u32(std::array<unsigned char, kCalibrationFileSize>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
void store_f32(std::array<unsigned char, kCalibrationFileSize>& b, std::size_t at, float v) {
  store_u32(b, at, std::bit_cast<std::uint32_t>(v));
}

bool all_finite(const CalibrationFile& f) {
  for (const auto& r : f.rotations)
    for (float v : r)
      if (!std::isfinite(v)) return false;
  for (const auto& c : f.centres)
    if (!std::isfinite(c[0]) || !std::isfinite(c[1])) return false;
  return std::isfinite(f.c1) && std::isfinite(f.c3) && std::isfinite(f.c5) && std::isfinite(f.max_ray_angle_rad);
}

}  // namespace

std::array<unsigned char, kCalibrationFileSize> encode_calibration(const CalibrationFile& f) {
  std::array<unsigned char, kCalibrationFileSize> b{};
  for (int k = 0; k < kLensSlots; ++k) {
    for (int e = 0; e < 9; ++e) store_f32(b, kRotationsOffset + 36 * k + 4 * e, f.rotations[k][e]);
    store_f32(b, kCentresOffset + 8 * k, f.centres[k][0]);
    store_f32(b, kCentresOffset + 8 * k + 4, f.centres[k][1]);
  }
  store_f32(b, kCoefficientsOffset, f.c1);
  store_f32(b, kCoefficientsOffset + 4, f.c3);
  store_f32(b, kCoefficientsOffset + 8, f.c5);
  store_u32(b, kCameraCountOffset, std::bit_cast<std::uint32_t>(f.camera_count));
  store_u32(b, kImageWidthOffset, std::bit_cast<std::uint32_t>(f.image_width));
  store_u32(b, kImageHeightOffset, std::bit_cast<std::uint32_t>(f.image_height));
  store_f32(b, kMaxAngleOffset, f.max_ray_angle_rad);
  return b;
}

CalibrationFile decode_calibration(std::span<const unsigned char, kCalibrationFileSize> b) {
  CalibrationFile f;
  for (int k = 0; k < kLensSlots; ++k) {
    for (int e = 0; e < 9; ++e) f.rotations[k][e] = load_f32(b, kRotationsOffset + 36 * k + 4 * e);
    f.centres[k][0] = load_f32(b, kCentresOffset + 8 * k);
    f.centres[k][1] = load_f32(b, kCentresOffset + 8 * k + 4);
  }
  f.c1 = load_f32(b, kCoefficientsOffset);
  f.c3 = load_f32(b, kCoefficientsOffset + 4);
  f.c5 = load_f32(b, kCoefficientsOffset + 8);
  f.camera_count = load_i32(b, kCameraCountOffset);
  f.image_width = load_i32(b, kImageWidthOffset);
  f.image_height = load_i32(b, kImageHeightOffset);
  f.max_ray_angle_rad = load_f32(b, kMaxAngleOffset);
  return f;
}

CalibrationFile single_lens_calibration(float centre_x, float centre_y, float radius, int image_width, int image_height,
                                        float fov_deg) {
  CalibrationFile f;
  for (int k = 0; k < kLensSlots; ++k) {
    f.rotations[k] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    f.centres[k] = {centre_x, centre_y};
  }
  f.max_ray_angle_rad = static_cast<float>(fov_deg * 0.5 / 180.0 * M_PI);
  f.c1 = (radius / kReferenceRadius) / f.max_ray_angle_rad;
  f.c3 = 1e-10f;
  f.c5 = 1e-10f;
  f.camera_count = 1;
  f.image_width = image_width;
  f.image_height = image_height;
  return f;
}

int apply_calibration(const CalibrationFile& f, CameraParams& camera) {
  for (int k = 0; k < kLensSlots; ++k) {
    LensParams& lens = camera.lenses[k];
    lens.rotation = f.rotations[k];
    lens.centre_x = f.centres[k][0];
    lens.centre_y = f.centres[k][1];
    lens.c1 = f.c1;
    lens.c3 = f.c3;
    lens.c5 = f.c5;
  }
  camera.camera_count = f.camera_count;
  if (f.camera_count < 1 || f.camera_count > 2) {
    debug_trace("error: invalid camera number!\n");
    return 1;
  }
  // Refused here so that no later division by zero or NaN reaches a mesh.
  if (f.image_width <= 0 || f.image_height <= 0) {
    debug_trace("error: invalid image size %dx%d in calibration file!\n", f.image_width, f.image_height);
    return 1;
  }
  if (!all_finite(f)) {
    debug_trace("error: calibration file holds a number that is not finite!\n");
    return 1;
  }
  if (!(f.max_ray_angle_rad > 0)) {
    debug_trace("error: invalid maximum ray angle %g in calibration file!\n", f.max_ray_angle_rad);
    return 1;
  }
  const double t = f.max_ray_angle_rad;
  const auto radius =
      static_cast<float>(kReferenceRadius * (f.c1 * t + f.c3 * std::pow(t, 3.0) + f.c5 * std::pow(t, 5.0)));
  if (!std::isfinite(radius)) {
    debug_trace("error: calibration file gives a circle radius that is not finite!\n");
    return 1;
  }
  // A circle under a pixel (or a negative one) shows nothing: not a lens.
  if (!(radius >= 1)) {
    debug_trace("error: calibration file gives a circle radius of %g pixels!\n", static_cast<double>(radius));
    return 1;
  }
  camera.image_width = f.image_width;
  camera.image_height = f.image_height;
  camera.max_ray_angle_rad = f.max_ray_angle_rad;
  camera.circle_radius = radius;
  return 0;
}

namespace {

// A number as a person reads it: NaN and infinities by name.
std::string number_text(double v) {
  if (std::isnan(v)) return "NaN";
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

}  // namespace

std::string calibration_fault(const CalibrationFile& f) {
  if (f.camera_count < 1 || f.camera_count > 2)
    return "camera count " + std::to_string(f.camera_count) + " is not 1 or 2";
  if (f.image_width <= 0 || f.image_height <= 0) {
    return "image size " + std::to_string(f.image_width) + " × " + std::to_string(f.image_height) +
           " is not a picture's size";
  }
  for (int k = 0; k < kLensSlots; ++k) {
    for (const float v : f.rotations[static_cast<std::size_t>(k)]) {
      if (!std::isfinite(v)) return "the rotation of lens " + std::to_string(k) + " holds " + number_text(v);
    }
    const auto& c = f.centres[static_cast<std::size_t>(k)];
    if (!std::isfinite(c[0]) || !std::isfinite(c[1])) {
      return "the centre of lens " + std::to_string(k) + " is " + number_text(c[0]) + ", " + number_text(c[1]);
    }
  }
  const std::pair<const char*, float> coefficients[] = {{"c1", f.c1}, {"c3", f.c3}, {"c5", f.c5}};
  for (const auto& [name, v] : coefficients) {
    if (!std::isfinite(v)) return std::string(name) + " " + number_text(v) + " is not a finite number";
  }
  if (!(f.max_ray_angle_rad > 0) || !std::isfinite(f.max_ray_angle_rad)) {
    return "max ray angle " + number_text(f.max_ray_angle_rad) + " is not a positive angle";
  }
  const double t = f.max_ray_angle_rad;
  const double radius = kReferenceRadius * (f.c1 * t + f.c3 * std::pow(t, 3.0) + f.c5 * std::pow(t, 5.0));
  if (!(radius >= 1) || !std::isfinite(static_cast<float>(radius))) {
    return "c1, c3, c5 and the max ray angle give a circle radius of " + number_text(radius) + " px";
  }
  return {};
}

int read_calibration_file(const char* path, CameraParams& camera) {
  if (path == nullptr) {
    debug_trace("error: null calibration file!\n");
    return 2;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    debug_trace("error: can not open calibration file %s!\n", path);
    return 2;
  }
  std::array<unsigned char, kCalibrationFileSize> bytes{};
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const auto got = static_cast<std::size_t>(file.gcount());
  if (got != bytes.size()) {
    debug_trace("error: calibration file %s is too short (%zu of %zu bytes)!\n", path, got, kCalibrationFileSize);
    return 2;
  }
  return apply_calibration(decode_calibration(bytes), camera);
}

int write_calibration_file(const char* path, const CalibrationFile& f) {
  if (path == nullptr || *path == '\0') return 1;
  const auto bytes = encode_calibration(f);
  // Written beside and renamed: a full disk leaves the old file.
  return replace_file(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())) ? 0 : 1;
}

namespace {

struct Scale {
  double x, y;
  double radial() const { return 0.5 * (x + y); }
};

// The factors from a w0 x h0 picture to w x h, or nothing for another shape.
std::optional<Scale> scale_between(int w0, int h0, int w, int h) {
  if (w0 <= 0 || h0 <= 0 || w <= 0 || h <= 0) return std::nullopt;
  const double aspect0 = static_cast<double>(w0) / h0, aspect = static_cast<double>(w) / h;
  if (std::abs(aspect / aspect0 - 1) > 0.01) return std::nullopt;
  return Scale{static_cast<double>(w) / w0, static_cast<double>(h) / h0};
}

// Pixel-centre coordinates scale about the picture's corner, not pixel 0.
void scale_centre(float& x, float& y, const Scale& k) {
  x = static_cast<float>((x + 0.5) * k.x - 0.5);
  y = static_cast<float>((y + 0.5) * k.y - 0.5);
}

// The radial polynomial grows with the picture.
void scale_coefficients(float& c1, float& c3, float& c5, const Scale& k) {
  for (float* c : {&c1, &c3, &c5}) *c = static_cast<float>(*c * k.radial());
}

// Fits any record with image_width and image_height, scaling through `scale`.
template <typename Record, typename Scaler>
CalibrationFit fit(Record& record, int width, int height, Scaler scale) {
  if (record.image_width == width && record.image_height == height) return CalibrationFit::kSame;
  const auto k = scale_between(record.image_width, record.image_height, width, height);
  if (!k) return CalibrationFit::kOtherCamera;
  scale(*k);
  record.image_width = width;
  record.image_height = height;
  return CalibrationFit::kScaled;
}

}  // namespace

CalibrationFit fit_calibration(CalibrationFile& file, int width, int height) {
  return fit(file, width, height, [&](const Scale& k) {
    for (auto& c : file.centres) scale_centre(c[0], c[1], k);
    scale_coefficients(file.c1, file.c3, file.c5, k);
  });
}

CalibrationFit fit_calibration(CameraParams& camera, int width, int height) {
  return fit(camera, width, height, [&](const Scale& k) {
    for (LensParams& lens : camera.lenses) {
      scale_centre(lens.centre_x, lens.centre_y, k);
      scale_coefficients(lens.c1, lens.c3, lens.c5, k);
    }
    camera.circle_radius = static_cast<float>(camera.circle_radius * k.radial());
  });
}

CalibrationFile default_calibration(int width, int height) {
  return single_lens_calibration(static_cast<float>(width - 1) / 2, static_cast<float>(height - 1) / 2,
                                 static_cast<float>(std::min(width, height)) / 2, width, height, 180);
}

}  // namespace orb
