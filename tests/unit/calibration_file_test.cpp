#include <geometry/calibration_file.h>
#include <geometry/vertex_factory.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calibration_samples.h"
#include "capture.h"

namespace orb {
namespace {

using test::captured_stderr;
using test::example_calibration;
using test::TempDir;
using test::write_calibration;

struct Loaded {
  int result;
  std::string printed;
  CameraParams camera;
};

Loaded read(const std::filesystem::path& path) {
  Loaded l;
  l.camera.camera_count = -99;  // marks what the reader did not touch
  l.printed = captured_stderr([&] { l.result = read_calibration_file(path.c_str(), l.camera); });
  return l;
}

TEST(CalibrationFile, ExampleFileRoundTripsAndDerivesItsRadius) {
  TempDir dir;
  const CalibrationFile f = example_calibration();
  EXPECT_NEAR(f.c1, 0.4911, 1e-4);
  EXPECT_FLOAT_EQ(f.max_ray_angle_rad, static_cast<float>(M_PI / 2));
  EXPECT_EQ(f.c3, 1e-10f);

  const auto path = dir.path() / "lens.inf";
  ASSERT_EQ(write_calibration_file(path.c_str(), f), 0);
  EXPECT_EQ(std::filesystem::file_size(path), kCalibrationFileSize);
  const Loaded l = read(path);
  ASSERT_EQ(l.result, 0);
  EXPECT_EQ(l.printed, "");
  EXPECT_NEAR(l.camera.circle_radius, 540.0f, 0.01f);
  EXPECT_EQ(l.camera.camera_count, 1);
  EXPECT_EQ(l.camera.image_width, 1920);
  EXPECT_EQ(l.camera.image_height, 1080);
  for (const LensParams& lens : l.camera.lenses) {
    EXPECT_EQ(lens.centre_x, 960.0f);
    EXPECT_EQ(lens.centre_y, 540.0f);
    EXPECT_EQ(lens.c1, f.c1);
  }
}

TEST(CalibrationFile, LayoutIsLittleEndianAtFixedOffsets) {
  CalibrationFile f = example_calibration();
  f.rotations[7][8] = 2.5f;
  f.centres[3] = {11.0f, 22.0f};
  f.camera_count = 2;
  const auto bytes = encode_calibration(f);
  auto word = [&](std::size_t at) {
    return static_cast<unsigned>(bytes[at]) | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<unsigned>(bytes[at + 3]) << 24;
  };
  EXPECT_EQ(word(364), 2u);
  EXPECT_EQ(word(368), 1920u);
  EXPECT_EQ(word(372), 1080u);
  EXPECT_EQ(word(36 * 7 + 32), std::bit_cast<unsigned>(2.5f));
  EXPECT_EQ(word(288 + 8 * 3), std::bit_cast<unsigned>(11.0f));
  EXPECT_EQ(word(292 + 8 * 3), std::bit_cast<unsigned>(22.0f));
  EXPECT_EQ(word(376), std::bit_cast<unsigned>(f.max_ray_angle_rad));
  const CalibrationFile back = decode_calibration(bytes);
  EXPECT_EQ(back.rotations, f.rotations);
  EXPECT_EQ(back.centres, f.centres);
}

TEST(CalibrationFile, CameraCountMustBeOneOrTwo) {
  TempDir dir;
  for (int count : {0, 3, -1}) {
    CalibrationFile f = example_calibration();
    f.camera_count = count;
    const Loaded l = read(write_calibration(dir, "bad.inf", f));
    EXPECT_EQ(l.result, 1) << count;
    EXPECT_EQ(l.printed, "error: invalid camera number!\n");
    EXPECT_EQ(l.camera.camera_count, count);  // stored before the check
    EXPECT_EQ(l.camera.image_width, 0);       // the rest is not
  }
  CalibrationFile two = example_calibration();
  two.camera_count = 2;
  EXPECT_EQ(read(write_calibration(dir, "two.inf", two)).result, 0);
}

TEST(CalibrationFile, MissingOrShortFilesAreRefusedWithoutUsingUnreadBytes) {
  TempDir dir;
  CameraParams camera;
  std::string printed = captured_stderr([&] { EXPECT_EQ(read_calibration_file(nullptr, camera), 2); });
  EXPECT_EQ(printed, "error: null calibration file!\n");

  const auto missing = dir.path() / "missing.inf";
  Loaded l = read(missing);
  EXPECT_EQ(l.result, 2);
  EXPECT_EQ(l.printed, "error: can not open calibration file " + missing.string() + "!\n");

  const auto full = encode_calibration(example_calibration());
  for (std::size_t size : {std::size_t{0}, std::size_t{4}, std::size_t{379}}) {
    const auto path = dir.write("short.inf", std::string_view(reinterpret_cast<const char*>(full.data()), size));
    l = read(path);
    EXPECT_EQ(l.result, 2) << size;
    EXPECT_EQ(l.printed.rfind("error: ", 0), 0u) << l.printed;
    EXPECT_EQ(std::count(l.printed.begin(), l.printed.end(), '\n'), 1);
    EXPECT_EQ(l.camera.camera_count, -99) << "nothing may be taken from a short file";
  }
  l = read(dir.path());  // a directory opens but cannot be read
  EXPECT_EQ(l.result, 2);

  // Extra bytes after the 95 words are ignored.
  std::string longer(reinterpret_cast<const char*>(full.data()), full.size());
  longer += "trailing";
  EXPECT_EQ(read(dir.write("long.inf", longer)).result, 0);
}

// Each refused, and the fault named with the field and its value.
TEST(CalibrationFile, ValuesThatBreakTheLensModelAreRefused) {
  TempDir dir;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::pair<std::function<void(CalibrationFile&)>, std::string>> breakers = {
      {[&](CalibrationFile& f) { f.camera_count = 3; }, "camera count 3 is not 1 or 2"},
      {[&](CalibrationFile& f) { f.rotations[5][4] = nan; }, "the rotation of lens 5 holds NaN"},
      {[&](CalibrationFile& f) { f.centres[0][1] = inf; }, "the centre of lens 0 is 960, inf"},
      {[&](CalibrationFile& f) { f.c1 = inf; }, "c1 inf is not a finite number"},
      {[&](CalibrationFile& f) { f.c5 = -inf; }, "c5 -inf is not a finite number"},
      {[&](CalibrationFile& f) { f.max_ray_angle_rad = nan; }, "max ray angle NaN is not a positive angle"},
      {[&](CalibrationFile& f) { f.max_ray_angle_rad = 0; }, "max ray angle 0 is not"},
      {[&](CalibrationFile& f) { f.max_ray_angle_rad = -1; }, "max ray angle -1 is not"},
      {[&](CalibrationFile& f) {
         f.image_width = 0;
         f.image_height = -5;
       },
       "image size 0 × -5 is not a picture's size"},
      {[&](CalibrationFile& f) { f.image_height = -1080; }, "image size 1920 × -1080"},
      {[&](CalibrationFile& f) { f.c1 = 3e38f; }, "give a circle radius of"},  // the radius overflows
      {[&](CalibrationFile& f) { f.c1 = 0; }, "give a circle radius of 9.4"},  // c3 and c5 alone
      {[&](CalibrationFile& f) { f.c1 = -0.5f; }, "give a circle radius of -549"},
  };
  for (std::size_t i = 0; i < breakers.size(); ++i) {
    CalibrationFile f = example_calibration();
    breakers[i].first(f);
    const Loaded l = read(write_calibration(dir, "bad.inf", f));
    EXPECT_EQ(l.result, 1) << i;
    EXPECT_EQ(l.printed.rfind("error: ", 0), 0u) << i << ": " << l.printed;
    EXPECT_EQ(l.camera.image_width, 0) << i;
    EXPECT_NE(calibration_fault(f).find(breakers[i].second), std::string::npos) << i << ": " << calibration_fault(f);
  }
  EXPECT_EQ(calibration_fault(example_calibration()), "");
}

TEST(CalibrationFile, WriterLeavesNothingBehindOnFailure) {
  TempDir dir;
  const auto target = dir.path() / "no-such-dir" / "lens.inf";
  EXPECT_NE(write_calibration_file(target.c_str(), example_calibration()), 0);
  EXPECT_NE(write_calibration_file(nullptr, example_calibration()), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  // An existing file is replaced whole.
  const auto path = dir.write("lens.inf", "old contents");
  ASSERT_EQ(write_calibration_file(path.c_str(), example_calibration()), 0);
  EXPECT_EQ(std::filesystem::file_size(path), kCalibrationFileSize);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

struct MountCase {
  int camera_count;
  int mount_mode;
  float roll_offset;
  bool reoriented;
};

TEST(CalibrationFile, MountModeSetsRollOffsetAndLensOrientation) {
  TempDir dir;
  // A rotation with distinct entries shows where each column went.
  const std::array<float, 9> r = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f};
  const std::array<float, 9> r_times_m = {0.1f, -0.3f, 0.2f, 0.4f, -0.6f, 0.5f, 0.7f, -0.9f, 0.8f};
  const MountCase cases[] = {
      {1, 0, 0, true}, {1, 1, 180, true}, {1, 2, 90, true}, {1, 7, 0, true},
      {2, 0, 0, true}, {2, 1, 0, true},   {2, 2, 0, false},
  };
  for (const MountCase& c : cases) {
    CalibrationFile f = example_calibration();
    f.camera_count = c.camera_count;
    for (auto& rotation : f.rotations) rotation = r;
    const auto path = write_calibration(dir, "lens.inf", f);
    VertexFactory factory;
    ASSERT_EQ(factory.load_calibration(false, c.mount_mode, path.c_str()), 0);
    EXPECT_EQ(factory.roll_offset_deg(), c.roll_offset) << c.camera_count << "/" << c.mount_mode;
    for (const LensParams& lens : factory.camera().lenses) {
      EXPECT_EQ(lens.rotation, c.reoriented ? r_times_m : r) << c.camera_count << "/" << c.mount_mode;
    }
  }
}

TEST(CalibrationFile, NoCalibrationOpensNothing) {
  VertexFactory factory;
  int result = -1;
  const std::string printed = captured_stderr([&] { result = factory.load_calibration(true, 1, nullptr); });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(factory.roll_offset_deg(), 0.0f);
  EXPECT_NE(factory.generate_mesh(DRAW_MODE_SOURCE, false, 0), nullptr);
}

TEST(CalibrationFile, FailedLoadKeepsTheFactoryUnusable) {
  VertexFactory factory;
  std::string printed =
      captured_stderr([&] { EXPECT_EQ(factory.load_calibration(false, 0, "/nonexistent/x.inf"), 2); });
  printed = captured_stderr([&] { EXPECT_EQ(factory.generate_mesh(DRAW_MODE_PERSPECTIVE, false, 0), nullptr); });
  EXPECT_EQ(printed, "error: calibration file path is not set yet;\n");
}

TEST(CalibrationFile, TheSameCameraAtAnotherResolutionIsScaledAnotherShapeIsNot) {
  // 1080p centred, radius 540 -> 720p: still centred, radius 360.
  CalibrationFile f = single_lens_calibration(959.5f, 539.5f, 540, 1920, 1080, 200);
  EXPECT_EQ(fit_calibration(f, 1920, 1080), CalibrationFit::kSame);
  ASSERT_EQ(fit_calibration(f, 1280, 720), CalibrationFit::kScaled);
  EXPECT_NEAR(f.centres[0][0], 639.5f, 1e-3);
  EXPECT_NEAR(f.centres[0][1], 359.5f, 1e-3);
  CameraParams camera;
  ASSERT_EQ(apply_calibration(f, camera), 0);
  EXPECT_NEAR(camera.circle_radius, 360, 0.01);
  EXPECT_EQ(camera.image_width, 1280);
  // 4:3 is another camera: untouched.
  EXPECT_EQ(fit_calibration(f, 1440, 1080), CalibrationFit::kOtherCamera);
  EXPECT_EQ(f.image_width, 1280);
  // The loaded lens scales the same way for the renderer.
  ASSERT_EQ(fit_calibration(camera, 3840, 2160), CalibrationFit::kScaled);
  EXPECT_NEAR(camera.lenses[0].centre_x, 1919.5f, 1e-3);
  EXPECT_NEAR(camera.circle_radius, 1080, 0.05);
  EXPECT_EQ(fit_calibration(camera, 2000, 2000), CalibrationFit::kOtherCamera);
}

TEST(CalibrationFile, DefaultLensIsACentredHalfSphereInTheShorterSide) {
  CameraParams camera;
  ASSERT_EQ(apply_calibration(default_calibration(1280, 720), camera), 0);
  EXPECT_FLOAT_EQ(camera.lenses[0].centre_x, 639.5f);
  EXPECT_FLOAT_EQ(camera.lenses[0].centre_y, 359.5f);
  EXPECT_NEAR(camera.circle_radius, 360, 0.01);
  EXPECT_NEAR(camera.max_ray_angle_rad, M_PI / 2, 1e-6);
}

}  // namespace
}  // namespace orb
