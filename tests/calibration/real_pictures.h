#pragma once
// The real fisheye photographs beside the project (shared/realdata) and
// their hand-fitted circles: truth.csv, one row per lens circle.
#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace orb::test {

struct RealPicture {
  std::string file;
  std::vector<std::array<float, 3>> circles;  // cx, cy, r per lens, left first
};

inline std::vector<RealPicture> real_pictures(const std::filesystem::path& dir) {
  std::ifstream in(dir / "truth.csv");
  std::vector<RealPicture> out;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string file, lens, cx, cy, r;
    if (!std::getline(fields, file, ',') || !std::getline(fields, lens, ',') || !std::getline(fields, cx, ',') ||
        !std::getline(fields, cy, ',') || !std::getline(fields, r, ',')) {
      continue;
    }
    if (out.empty() || out.back().file != file) out.push_back({file, {}});
    out.back().circles.push_back({std::stof(cx), std::stof(cy), std::stof(r)});
  }
  return out;
}

}  // namespace orb::test
