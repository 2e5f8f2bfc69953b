#include <geometry/view_camera.h>

#include <geometry/draw_mode.h>
#include <gtest/gtest.h>

#include <cmath>

#include "capture.h"

namespace orb {
namespace {

ViewCamera camera_for(int mode, int w, int h, int video_w = 1920, int video_h = 1080) {
  ViewCamera cam;
  bool changed = false;
  EXPECT_EQ(cam.select_draw_mode(mode, w, h, video_w, video_h, changed), 0);
  cam.rebuild_view();
  cam.reset_zoom();
  return cam;
}

// Where a world point lands in normalised device coordinates.
std::array<float, 3> to_ndc(const ViewCamera& cam, std::array<float, 3> p) {
  const Mat4 m = cam.mvp();
  float out[4] = {};
  for (int r = 0; r < 4; ++r) out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
  return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
}

TEST(ViewCamera, PerspectiveExtentsOfTheSphereModes) {
  ViewCamera inside = camera_for(DRAW_MODE_PERSPECTIVE, 1920, 1080);
  EXPECT_FLOAT_EQ(inside.frustum_right(), 1.7320508f);
  EXPECT_FLOAT_EQ(inside.frustum_top(), 0.97427857f);
  EXPECT_FLOAT_EQ(inside.default_zoom(), 1.75f);
  EXPECT_FLOAT_EQ(inside.zoom(), 1.75f);
  EXPECT_EQ(inside.eye()[2], 1.5f);

  ViewCamera planet = camera_for(DRAW_MODE_LITTLE_PLANET, 1920, 1080);
  EXPECT_FLOAT_EQ(planet.frustum_right(), 0.8452365f);
  EXPECT_FLOAT_EQ(planet.frustum_top(), 0.47544554f);
  EXPECT_FLOAT_EQ(planet.default_zoom(), 0.18738446f);
  EXPECT_EQ(planet.eye()[2], 4.0f);

  ViewCamera wide = camera_for(DRAW_MODE_WIDE_ANGLE, 1920, 1080);
  EXPECT_NEAR(wide.frustum_right(), 1.9594433f, 2e-6);
  EXPECT_NEAR(wide.frustum_top(), 1.1021869f, 2e-6);
  EXPECT_NEAR(wide.default_zoom(), 1.9007267f, 2e-6);
  EXPECT_NEAR(camera_for(DRAW_MODE_WIDE_ANGLE, 800, 800).default_zoom(), 2.3880316f, 2e-6);
}

TEST(ViewCamera, OrthographicExtentsFitThePicture) {
  ViewCamera wide_rect = camera_for(DRAW_MODE_SOURCE, 2000, 500);
  EXPECT_FLOAT_EQ(wide_rect.ortho_half_height(), 0.5625f);
  EXPECT_FLOAT_EQ(wide_rect.ortho_half_width(), 2.2522523f);
  ViewCamera square = camera_for(DRAW_MODE_SOURCE, 1000, 1000);
  EXPECT_FLOAT_EQ(square.ortho_half_width(), 1.0f);
  EXPECT_FLOAT_EQ(square.ortho_half_height(), 1.0008897f);  // the truncation to 562 shows

  ViewCamera pano = camera_for(DRAW_MODE_PANORAMA, 1000, 300);
  EXPECT_FLOAT_EQ(pano.ortho_half_width(), 1.6666667f);
  EXPECT_FLOAT_EQ(pano.ortho_half_height(), 0.5f);
  ViewCamera pano_square = camera_for(DRAW_MODE_PANORAMA, 1000, 1000);
  EXPECT_FLOAT_EQ(pano_square.ortho_half_width(), 1.0f);
  EXPECT_FLOAT_EQ(pano_square.ortho_half_height(), 1.0f);

  ViewCamera ball = camera_for(DRAW_MODE_ORTHOGRAPHIC, 1920, 1080);
  EXPECT_FLOAT_EQ(ball.ortho_half_width(), 7.1111111f);
  EXPECT_FLOAT_EQ(ball.ortho_half_height(), 4.0f);
  // The whole sphere (radius 4) fits the shorter side.
  const auto top = to_ndc(ball, {0, 4, 0});
  EXPECT_NEAR(top[1], 1.0f, 1e-6);
}

TEST(ViewCamera, ZoomIsClampedAndWrittenBack) {
  ViewCamera cam = camera_for(DRAW_MODE_PERSPECTIVE, 800, 600);
  EXPECT_EQ(cam.set_zoom(10), 3.0f);
  EXPECT_EQ(cam.set_zoom(0.05f), 0.05f);
  EXPECT_EQ(cam.set_zoom(-1), 0.05f);
  EXPECT_EQ(cam.set_zoom(2), 2.0f);
  EXPECT_EQ(cam.zoom(), 2.0f);
  EXPECT_EQ(cam.set_zoom(NAN), 3.0f);
  // A larger zoom narrows the view: the same point moves outwards.
  cam.set_view_angles(0, 0, 0);
  cam.set_zoom(1);
  const float x_wide = to_ndc(cam, {1, 0, -4})[0];
  cam.set_zoom(2);
  EXPECT_NEAR(to_ndc(cam, {1, 0, -4})[0], 2 * x_wide, 1e-5);
}

TEST(ViewCamera, InvalidModesChangeNothing) {
  ViewCamera cam = camera_for(DRAW_MODE_PERSPECTIVE, 800, 600);
  for (int mode : {6, -1}) {
    bool changed = true;
    int result = 0;
    const std::string printed =
        test::captured_stderr([&] { result = cam.select_draw_mode(mode, 800, 600, 1920, 1080, changed); });
    EXPECT_EQ(result, 7);
    EXPECT_EQ(printed, "error: invalid draw mode " + std::to_string(mode) + ";\n");
    EXPECT_FALSE(changed);
    EXPECT_EQ(cam.draw_mode(), DRAW_MODE_PERSPECTIVE);
  }
  bool changed = true;
  EXPECT_EQ(cam.select_draw_mode(DRAW_MODE_PERSPECTIVE, 800, 600, 1920, 1080, changed), 0);
  EXPECT_FALSE(changed);
  EXPECT_EQ(cam.select_draw_mode(DRAW_MODE_WIDE_ANGLE, 800, 600, 1920, 1080, changed), 0);
  EXPECT_TRUE(changed);
}

TEST(ViewCamera, FlatModesNeverTurn) {
  ViewCamera cam = camera_for(DRAW_MODE_PANORAMA, 1000, 500);
  cam.set_view_angles(30, 40, 50);
  EXPECT_EQ(cam.model(), identity_matrix());
  EXPECT_EQ(cam.pitch(), 0.0f);
  EXPECT_EQ(cam.yaw(), 0.0f);
}

TEST(ViewCamera, AnglesTurnTheViewTowardsKnownSpherePoints) {
  ViewCamera cam = camera_for(DRAW_MODE_PERSPECTIVE, 1000, 1000);
  cam.set_view_angles(0, 0, 0);
  auto c = to_ndc(cam, {0, 0, -4});
  EXPECT_NEAR(c[0], 0, 1e-6);
  EXPECT_NEAR(c[1], 0, 1e-6);
  EXPECT_GT(c[2], -1);
  EXPECT_LT(c[2], 1);
  // Pitch 90 looks up at the north pole, where the lens axis is drawn.
  cam.set_view_angles(90, 0, 0);
  c = to_ndc(cam, {0, 4, 0});
  EXPECT_NEAR(c[0], 0, 1e-5);
  EXPECT_NEAR(c[1], 0, 1e-5);
  EXPECT_EQ(cam.pitch(), 90.0f);
  // Yaw 90 looks towards -x.
  cam.set_view_angles(0, 90, 0);
  c = to_ndc(cam, {-4, 0, 0});
  EXPECT_NEAR(c[0], 0, 1e-5);
  EXPECT_NEAR(c[1], 0, 1e-5);
  // The orthographic ball turns the other way round.
  ViewCamera ball = camera_for(DRAW_MODE_ORTHOGRAPHIC, 1000, 1000);
  const float s = 4 * std::sin(static_cast<float>(M_PI / 6)), k = -4 * std::cos(static_cast<float>(M_PI / 6));
  ball.set_view_angles(0, 30, 0);
  EXPECT_NEAR(to_ndc(ball, {s, 0, k})[0], 0, 1e-5);
  EXPECT_GT(std::abs(to_ndc(ball, {-s, 0, k})[0]), 0.1f);
  cam.set_view_angles(0, 30, 0);
  EXPECT_NEAR(to_ndc(cam, {-s, 0, k})[0], 0, 1e-5);
}

TEST(ViewCamera, RollOffsetTurnsTheViewAboutItsAxis) {
  ViewCamera cam = camera_for(DRAW_MODE_PERSPECTIVE, 1000, 1000);
  cam.set_view_angles(0, 0, 0);
  const auto plain = to_ndc(cam, {1, 0.5f, -4});
  cam.set_roll_offset(180);
  cam.set_view_angles(0, 0, 0);
  const auto turned = to_ndc(cam, {1, 0.5f, -4});
  EXPECT_NEAR(turned[0], -plain[0], 1e-5);
  EXPECT_NEAR(turned[1], -plain[1], 1e-5);
  // A roll of -180 undoes the offset.
  cam.set_view_angles(0, 0, -180);
  const auto undone = to_ndc(cam, {1, 0.5f, -4});
  EXPECT_NEAR(undone[0], plain[0], 1e-5);
  EXPECT_NEAR(undone[1], plain[1], 1e-5);
}

TEST(ViewCamera, LittlePlanetLooksAtTheSouthPoleFromTheSurface) {
  ViewCamera cam = camera_for(DRAW_MODE_LITTLE_PLANET, 1000, 1000);
  cam.set_view_angles(0, 0, 0);
  const auto c = to_ndc(cam, {0, -4, 0});
  EXPECT_NEAR(c[0], 0, 1e-5);
  EXPECT_NEAR(c[1], 0, 1e-5);
}

}  // namespace
}  // namespace orb
