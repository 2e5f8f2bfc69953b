#pragma once
// RGBA images read back from GL, saved as PPM, and compared with a tolerance.
// A failed comparison leaves the actual picture and a diff next to the build.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orb::test {

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // rows top first, 3 bytes per pixel

  // From glReadPixels output (rows bottom first, RGBA).
  static Image from_gl_rgba(const std::vector<std::uint8_t>& rgba, int width, int height);
  const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

bool write_ppm(const std::filesystem::path& path, const Image& image);
std::optional<Image> read_ppm(const std::filesystem::path& path);

struct Comparison {
  bool same = false;
  int max_difference = 0;
  double differing_fraction = 0;  // pixels beyond the per-channel tolerance
  std::string report;
};

// Pixels may differ by up to `tolerance` per channel; at most
// `allowed_fraction` of them may exceed it. On failure writes
// <name>.actual.ppm and <name>.diff.ppm into `output_dir`.
Comparison compare_images(const Image& expected, const Image& actual, int tolerance, double allowed_fraction,
                          const std::filesystem::path& output_dir, const std::string& name);

// Where failing tests leave their pictures: "<build>/test-output".
std::filesystem::path test_output_dir();

}  // namespace orb::test
