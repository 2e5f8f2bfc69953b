#include <geometry/vertex_factory.h>

#include <gtest/gtest.h>

#include <cmath>

#include "calibration_samples.h"

namespace orb {
namespace {

using test::example_calibration;
using test::load_factory;

constexpr int kCols = VertexFactory::kColumns;
constexpr int kRows = VertexFactory::kRows;

// Texture index of every vertex of mesh row `row`, when all agree; -1 otherwise.
float row_index(const VertexFactory& f, int row) {
  const auto& idx = f.texture_indices();
  const float first = idx[static_cast<std::size_t>(row) * kCols * 6];
  for (int v = 0; v < kCols * 6; ++v) {
    if (idx[static_cast<std::size_t>(row) * kCols * 6 + v] != first) return -1;
  }
  return first;
}

CalibrationFile lens_with_fov(float fov_deg) { return single_lens_calibration(960, 540, 540, 1920, 1080, fov_deg); }

TEST(LensProjection, LensAxisLandsOnTheCircleCentre) {
  VertexFactory f;
  CalibrationFile file = example_calibration();
  for (auto& c : file.centres) c = {700.0f, 400.0f};
  load_factory(f, file);
  for (float b : {0.0f, 1.0f, 4.0f}) {
    const ProjectedRay p = f.project_ray(static_cast<float>(-M_PI / 2), b);
    EXPECT_NEAR(p.u, 700.5f / 1920, 1e-6);  // the middle of pixel 700
    EXPECT_NEAR(p.v, 1 - 400.5f / 1080, 1e-6);
    EXPECT_TRUE(p.visible);
    EXPECT_NEAR(p.margin, 400.5f, 0.01f);  // nearest edge is the top one
  }
}

TEST(LensProjection, EquidistantLensPlacesAnglesOnRings) {
  VertexFactory f;
  load_factory(f, example_calibration());
  // 45 degrees off the axis is half the radius from the centre, whatever the azimuth.
  for (float b : {0.0f, 0.7f, 2.0f, 3.5f, 5.9f}) {
    const ProjectedRay p = f.project_ray(static_cast<float>(-M_PI / 4), b);
    const float dx = p.u * 1920 - 0.5f - 960;
    const float dy = (1 - p.v) * 1080 - 0.5f - 540;
    EXPECT_NEAR(std::hypot(dx, dy), 270.0f, 0.05f) << b;
    EXPECT_TRUE(p.visible);
  }
}

TEST(LensProjection, RaysBehindTheLensNeedAWideLens) {
  VertexFactory narrow;
  load_factory(narrow, example_calibration());
  const float behind = static_cast<float>(10 * M_PI / 180);  // 100 degrees off the axis
  EXPECT_FALSE(narrow.project_ray(behind, 1.0f).visible);

  VertexFactory wide;
  load_factory(wide, lens_with_fov(220));
  const ProjectedRay p = wide.project_ray(behind, 1.0f);
  EXPECT_TRUE(p.visible);
  const float d = std::hypot(p.u * 1920 - 0.5f - 960, (1 - p.v) * 1080 - 0.5f - 540);
  EXPECT_NEAR(d, 540.0f * 100 / 110, 0.1f);
}

TEST(LensProjection, HemisphereLensSeesRowsUpToTheHorizon) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, false, 0), nullptr);
  ASSERT_EQ(f.texture_indices().size(), static_cast<std::size_t>(kCols * kRows * 6));
  ASSERT_EQ(f.texture_coords().size(), static_cast<std::size_t>(kCols * kRows * 24));
  for (int row = 0; row < 30; ++row) EXPECT_EQ(row_index(f, row), 1.0f) << row;
  for (int row = 30; row < kRows; ++row) EXPECT_EQ(row_index(f, row), 0.0f) << row;
  // Every corner of a drawn cell samples the picture or within a pixel of it.
  const auto& tc = f.texture_coords();
  for (std::size_t v = 0; v < 30u * kCols * 6; ++v) {
    EXPECT_GE(tc[v * 4], -1.0f / 1920);
    EXPECT_LE(tc[v * 4], 1.0f + 1.0f / 1920);
    EXPECT_GE(tc[v * 4 + 1], -1.0f / 1080);
    EXPECT_LE(tc[v * 4 + 1], 1.0f + 1.0f / 1080);
    EXPECT_EQ(tc[v * 4 + 2], 0.0f);
    EXPECT_EQ(tc[v * 4 + 3], 0.0f);
  }
  // The first row starts at the lens axis: the middle of pixel (960, 540).
  EXPECT_NEAR(tc[0], 960.5f / 1920, 1e-6);
  EXPECT_NEAR(tc[1], 1 - 540.5f / 1080, 1e-6);
  for (float w : f.blend_weights()) ASSERT_EQ(w, 0.0f);
}

TEST(LensProjection, AutomaticLogoCapCoversWhatTheLensCannotSee) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, true, -1), nullptr);
  EXPECT_EQ(f.logo_angle_deg(), 90);
  // capRows = (3 + 90 - 0) / 3 = 31, so 29 lens rows.
  for (int row = 0; row < 29; ++row) EXPECT_EQ(row_index(f, row), 1.0f) << row;
  for (int row = 29; row < kRows; ++row) EXPECT_EQ(row_index(f, row), 4.0f) << row;
  // The last cap row closes on the logo's centre; the first starts on its rim.
  const auto& tc = f.texture_coords();
  const std::size_t last_cell = static_cast<std::size_t>(kRows - 1) * kCols;
  for (int v : {2, 3, 5}) {
    EXPECT_NEAR(tc[(last_cell * 6 + v) * 4], 0.5f, 1e-6);
    EXPECT_NEAR(tc[(last_cell * 6 + v) * 4 + 1], 0.5f, 1e-6);
  }
  const std::size_t first_cap_vertex = static_cast<std::size_t>(29) * kCols * 6;
  EXPECT_NEAR(std::hypot(tc[first_cap_vertex * 4] - 0.5f, tc[first_cap_vertex * 4 + 1] - 0.5f), 0.5f, 1e-6);
}

TEST(LensProjection, CapStartsAtTheCutWhenTheLensSeesLessThanTheLogoLeaves) {
  VertexFactory f;
  load_factory(f, example_calibration());
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, true, 10), nullptr);
  // Ten degrees of cap would leave 56 lens rows, but the lens stops at row 30.
  for (int row = 0; row < 30; ++row) EXPECT_EQ(row_index(f, row), 1.0f) << row;
  for (int row = 30; row < kRows; ++row) EXPECT_EQ(row_index(f, row), 4.0f) << row;
}

TEST(LensProjection, LogoAngleRoundsUpToWholeSteps) {
  // A full-sphere lens sees every row, so only the logo cap limits the lens rows.
  VertexFactory f;
  load_factory(f, lens_with_fov(360));
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, false, 0), nullptr);
  for (int row = 0; row < kRows; ++row) ASSERT_EQ(row_index(f, row), 1.0f) << row;
  struct Case {
    int angle;
    int cap_rows;
  };
  for (Case c : {Case{10, 4}, Case{9, 4}, Case{0, 1}, Case{176, 59}, Case{177, 60}, Case{100000, 60}}) {
    ASSERT_NE(f.generate_mesh(DRAW_MODE_PERSPECTIVE, true, c.angle), nullptr);
    for (int row = 0; row < kRows; ++row) {
      EXPECT_EQ(row_index(f, row), row < kRows - c.cap_rows ? 1.0f : 4.0f) << c.angle << " row " << row;
    }
  }
}

TEST(LensProjection, FieldsBeyondAFullTurnLeaveNoCapRatherThanOverrun) {
  // The automatic logo angle of a 720-degree "lens" is negative; it must not
  // make the lens rows run past the mesh.
  VertexFactory f;
  load_factory(f, lens_with_fov(720));
  ASSERT_NE(f.generate_mesh(DRAW_MODE_WIDE_ANGLE, true, -1), nullptr);
  EXPECT_LT(f.logo_angle_deg(), 0);
  EXPECT_EQ(f.texture_indices().size(), static_cast<std::size_t>(kCols * kRows * 6));
  for (float index : f.texture_indices()) ASSERT_NE(index, 4.0f);
}

TEST(LensProjection, NoTextureDataForTwoLensFiles) {
  VertexFactory f;
  CalibrationFile file = example_calibration();
  file.camera_count = 2;
  load_factory(f, file);
  ASSERT_NE(f.generate_mesh(DRAW_MODE_PANORAMA, true, -1), nullptr);
  EXPECT_EQ(f.positions().size(), 129600u);
  EXPECT_TRUE(f.texture_coords().empty());
  EXPECT_TRUE(f.texture_indices().empty());
  EXPECT_TRUE(f.blend_weights().empty());
}

}  // namespace
}  // namespace orb
