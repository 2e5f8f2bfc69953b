#pragma once
// Calibration files the tests and benchmarks share.
#include <geometry/calibration_file.h>

#include <filesystem>
#include <string>

#include "temp_dir.h"

namespace orb::test {

// A 1920x1080 picture with a 180-degree circle of radius 540 in the middle.
inline CalibrationFile example_calibration() { return single_lens_calibration(960, 540, 540, 1920, 1080, 180); }

inline std::filesystem::path write_calibration(const TempDir& dir, const std::string& name,
                                               const CalibrationFile& file) {
  const auto bytes = encode_calibration(file);
  return dir.write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace orb::test

#include <geometry/vertex_factory.h>

#include <stdexcept>

namespace orb::test {

// Loads `file` into `factory` as the renderer does (mount mode 0 unless told).
inline void load_factory(VertexFactory& factory, const CalibrationFile& file, int mount_mode = 0) {
  TempDir dir;
  const auto path = write_calibration(dir, "lens.inf", file);
  if (factory.load_calibration(false, mount_mode, path.c_str()) != 0) throw std::runtime_error("load failed");
}

}  // namespace orb::test
