#include <geometry/vertex_factory.h>

#include <gtest/gtest.h>

#include <cmath>

#include "calibration_samples.h"
#include "capture.h"

namespace orb {
namespace {

using test::example_calibration;
using test::load_factory;

constexpr std::size_t kSphereFloats = 129600;  // 43,200 vertices

std::array<float, 3> vertex(const VertexFactory& f, std::size_t i) {
  const auto& p = f.positions();
  return {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
}

// Every cell is two triangles that share the (bottom, first)-(top, second) edge.
void expect_cells_share_their_diagonal(const std::vector<float>& data, std::size_t per_vertex) {
  ASSERT_EQ(data.size() % (6 * per_vertex), 0u);
  for (std::size_t cell = 0; cell < data.size() / (6 * per_vertex); ++cell) {
    const float* c = &data[cell * 6 * per_vertex];
    for (std::size_t k = 0; k < per_vertex; ++k) {
      ASSERT_EQ(c[3 * per_vertex + k], c[2 * per_vertex + k]) << cell;
      ASSERT_EQ(c[4 * per_vertex + k], c[1 * per_vertex + k]) << cell;
    }
  }
}

TEST(Mesh, SourceQuadFollowsThePictureAspect) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_SOURCE, false, 0), nullptr);
  const std::vector<float> expected = {-1, 0.5625f,  0, 1, 0.5625f, 0, -1, -0.5625f, 0,
                                       -1, -0.5625f, 0, 1, 0.5625f, 0, 1,  -0.5625f, 0};
  EXPECT_EQ(f.positions(), expected);
  const std::vector<float> tex = {0, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(f.texture_coords(), tex);
  EXPECT_EQ(f.texture_indices(), std::vector<float>(6, 1.0f));
  EXPECT_EQ(f.blend_weights(), std::vector<float>(6, 0.0f));

  f.set_image_size(1000, 1000);  // the video's size replaces the calibrated one
  ASSERT_NE(f.generate_mesh(DRAW_MODE_SOURCE, false, 0), nullptr);
  EXPECT_EQ(f.positions()[1], 1.0f);

  VertexFactory uncalibrated;
  ASSERT_EQ(uncalibrated.load_calibration(true, 0, nullptr), 0);
  uncalibrated.set_image_size(1920, 1080);
  ASSERT_NE(uncalibrated.generate_mesh(DRAW_MODE_SOURCE, false, 0), nullptr);
  EXPECT_EQ(uncalibrated.positions()[1], 0.5f);
  EXPECT_EQ(uncalibrated.positions()[16], -0.5f);
}

TEST(Mesh, PanoramaGridSpansTwoByOne) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PANORAMA, false, 0), nullptr);
  ASSERT_EQ(f.positions().size(), kSphereFloats);
  EXPECT_EQ(vertex(f, 0), (std::array<float, 3>{-1, 0.5f, 0}));
  const auto last = vertex(f, 43199);
  EXPECT_NEAR(last[0], 1.0f, 1e-5);
  EXPECT_NEAR(last[1], -0.5f, 1e-5);
  EXPECT_EQ(last[2], 0.0f);
  for (std::size_t i = 0; i < 43200; ++i) {
    const auto v = vertex(f, i);
    ASSERT_GE(v[0], -1.0f - 1e-5f);
    ASSERT_LE(v[0], 1.0f + 1e-5f);
    ASSERT_GE(v[1], -0.5f - 1e-5f);
    ASSERT_LE(v[1], 0.5f + 1e-5f);
  }
  expect_cells_share_their_diagonal(f.positions(), 3);
  expect_cells_share_their_diagonal(f.texture_coords(), 4);
}

TEST(Mesh, SphereHasRadiusFourAndStartsAtTheNorthPole) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, false, 0), nullptr);
  ASSERT_EQ(f.positions().size(), kSphereFloats);
  const auto first = vertex(f, 0);
  EXPECT_NEAR(first[0], 0.0f, 1e-5);
  EXPECT_NEAR(first[1], 4.0f, 1e-6);
  EXPECT_NEAR(first[2], 0.0f, 1e-5);
  for (std::size_t i = 0; i < 43200; ++i) {
    const auto v = vertex(f, i);
    ASSERT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 4.0f, 1e-5f) << i;
  }
  // Each row descends 3 degrees: the bottom of the last row is the south pole.
  EXPECT_NEAR(vertex(f, 43199)[1], -4.0f, 1e-6);
  expect_cells_share_their_diagonal(f.positions(), 3);
  expect_cells_share_their_diagonal(f.texture_coords(), 4);
}

TEST(Mesh, SphereModesShareOneMesh) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, true, -1), nullptr);
  const auto positions = f.positions();
  const auto tex = f.texture_coords();
  const auto idx = f.texture_indices();
  for (int mode : {DRAW_MODE_LITTLE_PLANET, DRAW_MODE_ORTHOGRAPHIC, DRAW_MODE_WIDE_ANGLE}) {
    ASSERT_NE(f.generate_mesh(mode, true, -1), nullptr);
    EXPECT_EQ(f.positions(), positions) << mode;
    EXPECT_EQ(f.texture_coords(), tex) << mode;
    EXPECT_EQ(f.texture_indices(), idx) << mode;
  }
}

TEST(Mesh, InvalidModesAndMissingCalibrationGiveNoMesh) {
  VertexFactory unloaded;
  std::string printed = test::captured_stderr([&] { EXPECT_EQ(unloaded.generate_mesh(0, false, 0), nullptr); });
  EXPECT_EQ(printed, "error: calibration file path is not set yet;\n");

  VertexFactory f;
  load_factory(f, example_calibration());
  for (int mode : {6, -1}) {
    printed = test::captured_stderr([&] { EXPECT_EQ(f.generate_mesh(mode, false, 0), nullptr); });
    EXPECT_EQ(printed, "error: invalid projection model " + std::to_string(mode) + ";\n");
  }
}

TEST(Mesh, UncalibratedSphereHasPositionsOnly) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, false, 0), nullptr);
  ASSERT_FALSE(f.texture_coords().empty());

  VertexFactory uncalibrated;
  ASSERT_EQ(uncalibrated.load_calibration(true, 0, nullptr), 0);
  ASSERT_NE(uncalibrated.generate_mesh(DRAW_MODE_PERSPECTIVE, false, 0), nullptr);
  EXPECT_EQ(uncalibrated.positions().size(), kSphereFloats);
  EXPECT_TRUE(uncalibrated.texture_coords().empty());
  EXPECT_TRUE(uncalibrated.texture_indices().empty());
}

TEST(Mesh, VideoSizeSetForTheSourceQuadAlsoDrivesLaterTextureCoordinates) {
  VertexFactory f;
  load_factory(f, example_calibration());
  f.set_image_size(3840, 2160);  // twice the calibrated picture
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, false, 0), nullptr);
  // The axis is still at pixel (960, 540), now a quarter of the way in.
  EXPECT_NEAR(f.texture_coords()[0], 960.5f / 3840, 1e-6);
  EXPECT_NEAR(f.texture_coords()[1], 1 - 540.5f / 2160, 1e-6);
}

}  // namespace
}  // namespace orb
