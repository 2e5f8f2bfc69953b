#pragma once
// The 380-byte lens description (".inf"): 95 little-endian 32-bit words.
#include <array>
#include <string>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orb {

inline constexpr std::size_t kCalibrationFileSize = 380;
inline constexpr int kLensSlots = 8;
// Scale of the radial polynomial and radius of the reference sphere.
inline constexpr float kReferenceRadius = 700.0f;

// Centres are pixel-centre coordinates: (0, 0) is the middle of the
// top-left pixel, x to the right, y down (as OpenCV and FFmpeg count). A
// circle centred in a W x H picture has its centre at ((W-1)/2, (H-1)/2).
struct CalibrationFile {
  std::array<std::array<float, 9>, kLensSlots> rotations{};  // row by row
  std::array<std::array<float, 2>, kLensSlots> centres{};    // pixel-centre coordinates, y down
  float c1 = 0, c3 = 0, c5 = 0;                              // r(t) = 700 (c1 t + c3 t^3 + c5 t^5)
  std::int32_t camera_count = 0;
  std::int32_t image_width = 0;
  std::int32_t image_height = 0;
  float max_ray_angle_rad = 0;  // half the field of view
};

// One lens slot as held in memory.
struct LensParams {
  std::array<float, 9> rotation{};
  float centre_x = 0, centre_y = 0;
  float c1 = 0, c3 = 0, c5 = 0;
};

// Lens and picture parameters of one viewport's mesh factory.
struct CameraParams {
  std::int32_t camera_count = 0;
  std::int32_t image_width = 0;
  std::int32_t image_height = 0;
  float max_ray_angle_rad = 0;
  float circle_radius = 0;  // r(max ray angle), pixels
  std::array<LensParams, kLensSlots> lenses{};
  bool no_calibration = false;
  bool calibration_loaded = false;
  std::int32_t mount_mode = 0;
  float roll_offset_deg = 0;
};

std::array<unsigned char, kCalibrationFileSize> encode_calibration(const CalibrationFile& file);
CalibrationFile decode_calibration(std::span<const unsigned char, kCalibrationFileSize> bytes);

// The values written for one detected circle: identity rotations, every
// centre at (cx, cy), an equidistant lens whose r(max angle) is `radius`.
CalibrationFile single_lens_calibration(float centre_x, float centre_y, float radius, int image_width, int image_height,
                                        float fov_deg);

// Copies a decoded file into `camera` and checks it. 0, or 1 for an invalid
// camera count or values that would make the lens model meaningless.
int apply_calibration(const CalibrationFile& file, CameraParams& camera);

// What makes `file` unusable, naming the field and its value ("camera
// count 3 is not 1 or 2"); empty when apply_calibration takes it.
std::string calibration_fault(const CalibrationFile& file);

// Reads a calibration file into `camera`: 0 success, 1 invalid content,
// 2 no path, unreadable or short file. Messages go to standard output.
int read_calibration_file(const char* path, CameraParams& camera);

// How a calibration made on one picture size serves a video of another.
enum class CalibrationFit {
  kSame,         // made for this size
  kScaled,       // the same camera at another resolution (same aspect ratio): scaled to it
  kOtherCamera,  // another shape of picture: not for this video
};
// Scales `file` (or `camera`) to width x height when the aspect ratio is the
// same within 1 %; leaves it alone otherwise.
CalibrationFit fit_calibration(CalibrationFile& file, int width, int height);
CalibrationFit fit_calibration(CameraParams& camera, int width, int height);

// A lens for a video nobody calibrated: a 180-degree circle inscribed in
// the shorter side, centred.
CalibrationFile default_calibration(int width, int height);

// Writes the file in one piece; 0 success, 1 failure (nothing half-written
// stays behind under the final name).
int write_calibration_file(const char* path, const CalibrationFile& file);

}  // namespace orb
