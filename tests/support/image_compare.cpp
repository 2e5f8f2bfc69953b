#include "image_compare.h"

#include <common/paths.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orb::test {

Image Image::from_gl_rgba(const std::vector<std::uint8_t>& rgba, int width, int height) {
  Image img{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) {
        img.rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
            rgba[(static_cast<std::size_t>(height - 1 - y) * width + x) * 4 + c];
      }
  return img;
}

bool write_ppm(const std::filesystem::path& path, const Image& image) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << image.width << " " << image.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
  return static_cast<bool>(out);
}

std::optional<Image> read_ppm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  Image img;
  int max = 0;
  if (!(in >> magic >> img.width >> img.height >> max) || magic != "P6" || max != 255 || img.width <= 0 ||
      img.height <= 0 || img.width > 8192 || img.height > 8192) {
    return std::nullopt;
  }
  in.get();
  img.rgb.resize(static_cast<std::size_t>(img.width) * img.height * 3);
  if (!in.read(reinterpret_cast<char*>(img.rgb.data()), static_cast<std::streamsize>(img.rgb.size()))) {
    return std::nullopt;
  }
  return img;
}

Comparison compare_images(const Image& expected, const Image& actual, int tolerance, double allowed_fraction,
                          const std::filesystem::path& output_dir, const std::string& name) {
  Comparison c;
  std::ostringstream report;
  if (expected.width != actual.width || expected.height != actual.height) {
    report << name << ": size " << actual.width << "x" << actual.height << ", expected " << expected.width << "x"
           << expected.height;
    c.report = report.str();
  } else {
    Image diff{actual.width, actual.height, std::vector<std::uint8_t>(actual.rgb.size())};
    std::size_t beyond = 0;
    for (std::size_t p = 0; p < actual.rgb.size() / 3; ++p) {
      int worst = 0;
      for (int k = 0; k < 3; ++k) {
        const int d = std::abs(int{expected.rgb[p * 3 + k]} - int{actual.rgb[p * 3 + k]});
        worst = std::max(worst, d);
        diff.rgb[p * 3 + k] = static_cast<std::uint8_t>(std::min(255, d * 8));
      }
      c.max_difference = std::max(c.max_difference, worst);
      if (worst > tolerance) ++beyond;
    }
    c.differing_fraction = static_cast<double>(beyond) / static_cast<double>(actual.rgb.size() / 3);
    c.same = c.differing_fraction <= allowed_fraction;
    report << name << ": " << beyond << " pixels beyond " << tolerance << " levels (" << c.differing_fraction * 100
           << "%), largest difference " << c.max_difference;
    if (!c.same) {
      std::filesystem::create_directories(output_dir);
      write_ppm(output_dir / (name + ".diff.ppm"), diff);
      report << "; wrote " << (output_dir / (name + ".actual.ppm")).string();
    }
    c.report = report.str();
  }
  if (!c.same) {
    std::filesystem::create_directories(output_dir);
    write_ppm(output_dir / (name + ".actual.ppm"), actual);
  }
  return c;
}

std::filesystem::path test_output_dir() { return executable_dir().parent_path() / "test-output"; }

}  // namespace orb::test
