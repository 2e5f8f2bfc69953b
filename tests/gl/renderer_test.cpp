// The renderer manager drawing real meshes into a framebuffer object.
#include <render/ogl_rendererMgr.h>

#include <geometry/vertex_factory.h>

#include <cmath>
#include <cstdlib>

#include "capture.h"
#include "gl_fixture.h"

namespace orb::test {
namespace {

// Colour encodes position in the picture, linearly, so bilinear sampling of
// the planes reproduces it exactly: what a pixel shows tells where it sampled.
Yuv position_colour(double x, double y, int width, int height) {
  const double fx = x / width, fy = y / height;
  return {16 + 219 * fx, 16 + 224 * fy, 128 + 100 * (fx - fy)};
}

YuvFrame position_frame(int width, int height) {
  return make_frame(width, height, [&](double x, double y) { return position_colour(x, y, width, height); });
}

Image reference_image(int width, int height, const std::function<std::optional<Yuv>(int, int)>& at) {
  Image img{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::optional<Yuv> c = at(x, y);
      const auto rgb = c ? yuv_to_rgb(*c) : std::array<double, 3>{0, 0, 0};
      for (int k = 0; k < 3; ++k)
        img.rgb[(static_cast<std::size_t>(y) * width + x) * 3 + k] = static_cast<std::uint8_t>(std::lround(rgb[k]));
    }
  return img;
}

bool is_black(const Image& img, int x, int y) {
  const std::uint8_t* p = img.at(x, y);
  return p[0] == 0 && p[1] == 0 && p[2] == 0;
}

struct GoldenView {
  int mode;
  float pitch, yaw;
  float zoom = 0;  // 0: the mode's own
};

class Renderer : public GlTest {
 protected:
  // Two views side by side, with a logo over the unseen pole, against a
  // reviewed picture.
  void expect_golden(const char* name, GoldenView left, GoldenView right);
};

TEST_F(Renderer, SourceModeShowsThePictureAsItIs) {
  // 1919x1079: plane rows that are not multiples of 4 bytes.
  for (auto [w, h] : {std::pair{1919, 1079}, std::pair{640, 360}}) {
    auto target = make_target(w, h);
    ogl_rendererMgr mgr;
    ASSERT_EQ(init_manager(mgr, example_calibration(), w, h), 0) << mgr.error_text();
    ASSERT_EQ(mgr.set_viewport_rect(0, 0, 0, w, h), 0);
    ASSERT_EQ(mgr.set_draw_mode(0, DRAW_MODE_SOURCE), 0);
    ASSERT_EQ(upload(mgr, position_frame(w, h)), 0);
    ASSERT_EQ(mgr.draw_all({1, 0, 0, 0}), 0);
    const Image expected =
        reference_image(w, h, [w = w, h = h](int x, int y) { return position_colour(x + 0.5, y + 0.5, w, h); });
    const Comparison c =
        compare_images(expected, read_back(*target), 3, 0.002, test_output_dir(), "source_" + std::to_string(w));
    EXPECT_TRUE(c.same) << c.report;
  }
}

TEST_F(Renderer, PanoramaModeUnwrapsTheLensAsTheLensModelSays) {
  constexpr int kW = 1920, kH = 1080, kOutW = 960, kOutH = 480;
  auto target = make_target(kOutW, kOutH);
  ogl_rendererMgr mgr;
  ASSERT_EQ(init_manager(mgr, example_calibration(), kW, kH), 0) << mgr.error_text();
  ASSERT_EQ(mgr.set_viewport_rect(0, 0, 0, kOutW, kOutH), 0);
  ASSERT_EQ(mgr.set_draw_mode(0, DRAW_MODE_PANORAMA), 0);
  ASSERT_EQ(upload(mgr, position_frame(kW, kH)), 0);
  ASSERT_EQ(mgr.draw_all({1, 1, 1, 1}), 1);  // only viewport 0 has a mesh...
  ASSERT_EQ(mgr.draw_all({1, 0, 0, 0}), 0);  // ...and draws alone
  const Image actual = read_back(*target);

  // The CPU's own projection of each pixel's direction: the grid's top edge is
  // the lens axis, each row 180/kOutH degrees further from it.
  const VertexFactory& lens = mgr.viewport(0).factory();
  int compared = 0;
  for (int y = 4; y < kOutH / 2 - 16; y += 7) {
    for (int x = 0; x < kOutW; x += 13) {
      const float a = static_cast<float>(-M_PI / 2 + (y + 0.5) / kOutH * M_PI);
      const float b = static_cast<float>((x + 0.5) / kOutW * 2 * M_PI);
      const ProjectedRay ray = lens.project_ray(a, b);
      ASSERT_TRUE(ray.visible);
      const auto rgb = yuv_to_rgb(position_colour(ray.u * kW - 0.5f, (1 - ray.v) * kH - 0.5f, kW, kH));
      const std::uint8_t* got = actual.at(x, y);
      for (int k = 0; k < 3; ++k) {
        ASSERT_NEAR(got[k], rgb[k], 4.0) << "pixel " << x << "," << y << " channel " << k;
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 1000);
  // The lens sees nothing past its horizon: the lower half stays black.
  for (int y = kOutH / 2 + 8; y < kOutH; y += 5)
    for (int x = 0; x < kOutW; x += 11) ASSERT_TRUE(is_black(actual, x, y)) << x << "," << y;
}

void Renderer::expect_golden(const char* name, GoldenView left, GoldenView right) {
  constexpr int kW = 1920, kH = 1080, kOutW = 192, kOutH = 108;
  auto target = make_target(kOutW, kOutH);
  // A 16x16 logo of four coloured quarters.
  std::vector<std::uint8_t> logo(16 * 16 * 3);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      std::uint8_t* p = &logo[(static_cast<std::size_t>(y) * 16 + x) * 3];
      p[0] = x < 8 ? 200 : 20;
      p[1] = y < 8 ? 180 : 40;
      p[2] = (x < 8) == (y < 8) ? 230 : 60;
    }
  ogl_rendererMgr mgr;
  ASSERT_EQ(init_manager(mgr, example_calibration(), kW, kH, &logo, 16), 0) << mgr.error_text();
  int index = 0;
  for (const GoldenView& view : {left, right}) {
    ASSERT_EQ(mgr.set_viewport_rect(index, index * kOutW / 2, 0, kOutW / 2, kOutH), 0);
    ASSERT_EQ(mgr.set_draw_mode(index, view.mode), 0);
    ASSERT_EQ(mgr.set_view_angles(index, view.pitch, view.yaw, 0), 0);
    float zoom = view.zoom;
    if (zoom != 0) {
      ASSERT_EQ(mgr.set_zoom(index, zoom), 0);
    }
    ++index;
  }
  ASSERT_EQ(upload(mgr, position_frame(kW, kH)), 0);
  ASSERT_EQ(mgr.draw_all({1, 1, 0, 0}), 0);
  const Image actual = read_back(*target);

  const std::string file = std::string(name) + ".ppm";
  if (const char* dir = std::getenv("ORB_WRITE_GOLDENS")) {  // explicit, reviewed refresh only
    write_ppm(std::filesystem::path(dir) / file, actual);
  }
  const auto golden = read_ppm(std::filesystem::path(ORB_GOLDEN_DIR) / file);
  ASSERT_TRUE(golden.has_value()) << "missing golden; review one made with ORB_WRITE_GOLDENS=<dir>";
  const Comparison c = compare_images(*golden, actual, 8, 0.01, test_output_dir(), name);
  EXPECT_TRUE(c.same) << c.report;
}

TEST_F(Renderer, WideAngleViewMatchesItsGoldenImage) {
  expect_golden("wide_and_planet", {DRAW_MODE_WIDE_ANGLE, 60, 30}, {DRAW_MODE_LITTLE_PLANET, 0, 0});
}

// The ball's near clipping plane moves with its zoom: zoomed out, a wide rim
// shows the sphere's near side over its far side. The logo and the picture
// meet in both views.
TEST_F(Renderer, BallAndPerspectiveViewsMatchTheirGoldenImage) {
  expect_golden("ball_and_perspective", {DRAW_MODE_ORTHOGRAPHIC, 60, 40, 0.3f}, {DRAW_MODE_PERSPECTIVE, -35, 120});
}

TEST_F(Renderer, ViewportsDrawOnlyInsideTheirRectanglesWhenEnabled) {
  constexpr int kSize = 64;
  auto target = make_target(kSize, kSize);
  ogl_rendererMgr mgr;
  ASSERT_EQ(init_manager(mgr, example_calibration(), 64, 64), 0);
  const int h = kSize / 2;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(mgr.set_viewport_rect(i, (i % 2) * h, (i / 2) * h, h, h), 0);
    ASSERT_EQ(mgr.set_draw_mode(i, DRAW_MODE_SOURCE), 0);
  }
  ASSERT_EQ(upload(mgr, make_frame(64, 64, [](double, double) { return Yuv{235, 128, 128}; })), 0);
  // GL rows start at the bottom: viewport 0 is the bottom-left quarter.
  auto lit = [&](int vp) {
    const Image img = read_back(*target);
    const int cx = (vp % 2) * h + h / 2, cy = kSize - 1 - ((vp / 2) * h + h / 2);
    return !is_black(img, cx, cy);
  };
  ASSERT_EQ(mgr.draw_all({1, 0, 1, 0}), 0);
  EXPECT_TRUE(lit(0));
  EXPECT_FALSE(lit(1));
  EXPECT_TRUE(lit(2));
  EXPECT_FALSE(lit(3));
  ASSERT_EQ(mgr.draw_all({0, 0, 0, 0}), 0);
  for (int vp = 0; vp < 4; ++vp) EXPECT_FALSE(lit(vp)) << vp;

  // A new rectangle applies at the next draw.
  ASSERT_EQ(mgr.set_viewport_rect(0, h, h, h, h), 0);
  ASSERT_EQ(mgr.draw_all({1, 0, 0, 0}), 0);
  EXPECT_FALSE(lit(0));
  EXPECT_TRUE(lit(3));
}

TEST_F(Renderer, ViewportsAreDrawnInTheOrderZeroOneThreeTwo) {
  constexpr int kSize = 64;
  auto target = make_target(kSize, kSize);
  ogl_rendererMgr mgr;
  ASSERT_EQ(init_manager(mgr, example_calibration(), 64, 64), 0);
  const int h = kSize / 2;
  for (int i = 0; i < 4; ++i) ASSERT_EQ(mgr.set_viewport_rect(i, (i % 2) * h, (i / 2) * h, h, h), 0);
  for (int i : {0, 1, 2}) ASSERT_EQ(mgr.set_draw_mode(i, DRAW_MODE_SOURCE), 0);
  ASSERT_EQ(upload(mgr, make_frame(64, 64, [](double, double) { return Yuv{235, 128, 128}; })), 0);
  int result = 0;
  const std::string out = captured_stderr([&] { result = mgr.draw_all({1, 1, 1, 1}); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(out, "error: vp 3 vertex is not inited, please set draw mode first;\n");
  // Viewport 3 failed after 0 and 1 were drawn and before 2.
  const Image img = read_back(*target);
  EXPECT_FALSE(is_black(img, h / 2, kSize - 1 - h / 2));      // 0
  EXPECT_FALSE(is_black(img, h + h / 2, kSize - 1 - h / 2));  // 1
  EXPECT_TRUE(is_black(img, h / 2, h / 2));                   // 2
}

TEST_F(Renderer, RequestsCheckTheViewportIndex) {
  auto target = make_target(16, 16);
  ogl_rendererMgr mgr;
  ASSERT_EQ(init_manager(mgr, example_calibration(), 64, 64), 0);
  for (int index : {4, -1}) {
    float zoom = 1;
    const std::string expected = "error: invalid viewport index " + std::to_string(index) + ";\n";
    EXPECT_EQ(captured_stderr([&] { EXPECT_EQ(mgr.set_viewport_rect(index, 0, 0, 8, 8), 5); }), expected);
    EXPECT_EQ(captured_stderr([&] { EXPECT_EQ(mgr.set_draw_mode(index, 2), 5); }), expected);
    EXPECT_EQ(captured_stderr([&] { EXPECT_EQ(mgr.set_zoom(index, zoom), 5); }), expected);
    EXPECT_EQ(captured_stderr([&] { EXPECT_EQ(mgr.set_view_angles(index, 1, 2, 3), 5); }), expected);
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(mgr.viewport(i).rect().width, 0) << "viewport " << i << " was touched";
}

TEST_F(Renderer, DrawModeChangesRebuildTheMeshAndResetTheZoom) {
  auto target = make_target(64, 48);
  ogl_rendererMgr mgr;
  ASSERT_EQ(init_manager(mgr, example_calibration(), 1920, 1080), 0);
  ASSERT_EQ(mgr.set_viewport_rect(0, 0, 0, 64, 48), 0);

  std::string out = captured_stderr([&] { EXPECT_EQ(mgr.draw_all({1, 0, 0, 0}), 1); });
  EXPECT_EQ(out, "error: vp 0 vertex is not inited, please set draw mode first;\n");

  out = captured_stderr([&] { EXPECT_EQ(mgr.set_draw_mode(0, 6), 7); });
  EXPECT_EQ(out, "error: invalid draw mode 6;\n");

  ASSERT_EQ(mgr.set_draw_mode(0, DRAW_MODE_PERSPECTIVE), 0);
  EXPECT_EQ(mgr.viewport(0).vertex_count(), 43200);
  EXPECT_FLOAT_EQ(mgr.viewport(0).camera().zoom(), 1.75f);
  float zoom = 10;
  ASSERT_EQ(mgr.set_zoom(0, zoom), 0);
  EXPECT_EQ(zoom, 3.0f);  // clamped and written back
  ASSERT_EQ(mgr.set_draw_mode(0, DRAW_MODE_PERSPECTIVE), 0);
  EXPECT_FLOAT_EQ(mgr.viewport(0).camera().zoom(), 1.75f);
  ASSERT_EQ(mgr.set_draw_mode(0, DRAW_MODE_SOURCE), 0);
  EXPECT_EQ(mgr.viewport(0).vertex_count(), 6);
  ASSERT_EQ(upload(mgr, position_frame(1920, 1080)), 0);
  EXPECT_EQ(mgr.draw_all({1, 0, 0, 0}), 0);
}

TEST_F(Renderer, IncompleteMeshLeavesTheViewportUndrawable) {
  auto target = make_target(32, 32);
  ogl_rendererMgr mgr;
  CalibrationFile two_lenses = example_calibration();
  two_lenses.camera_count = 2;  // no texture data for sphere meshes
  ASSERT_EQ(init_manager(mgr, two_lenses, 64, 64), 0);
  ASSERT_EQ(mgr.set_viewport_rect(0, 0, 0, 32, 32), 0);
  ASSERT_EQ(mgr.set_draw_mode(0, DRAW_MODE_SOURCE), 0);
  EXPECT_EQ(mgr.set_draw_mode(0, DRAW_MODE_PERSPECTIVE), 1);
  EXPECT_FALSE(mgr.viewport(0).mesh_uploaded());
  const std::string out = captured_stderr([&] { EXPECT_EQ(mgr.draw_all({1, 0, 0, 0}), 1); });
  EXPECT_EQ(out, "error: vp 0 vertex is not inited, please set draw mode first;\n");
  ASSERT_EQ(mgr.set_draw_mode(0, DRAW_MODE_SOURCE), 0);  // and recovers
  EXPECT_EQ(mgr.draw_all({1, 0, 0, 0}), 0);
}

TEST_F(Renderer, MissingCalibrationFailsAfterTheProgramIsBuilt) {
  auto target = make_target(16, 16);
  ogl_rendererMgr mgr;
  RendererInit init;
  const auto missing = dir_.path() / "missing.inf";
  init.calibration_path = missing.c_str();
  init.video_width = 64;
  init.video_height = 64;
  int result = 0;
  const std::string out = captured_stderr([&] { result = mgr.init(init); });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(out, "error: can not open calibration file " + missing.string() + "!\n");
  EXPECT_NE(mgr.program(), 0u);
  EXPECT_EQ(mgr.error_text(), "the calibration file " + missing.string() + " cannot be used (code 2)");
}

TEST_F(Renderer, UploadChecksThePlaneSize) {
  auto target = make_target(16, 16);
  ogl_rendererMgr mgr;
  ASSERT_EQ(init_manager(mgr, example_calibration(), 64, 64), 0);
  const YuvFrame bigger = make_frame(128, 128, [](double, double) { return Yuv{100, 128, 128}; });
  const std::string out = captured_stderr([&] { EXPECT_EQ(upload(mgr, bigger), 1); });
  EXPECT_EQ(out.rfind("error in opengl iss_oglPlayer\\ogl_rendererMgr\\ogl_rendererMgr(line 139): code ", 0), 0u)
      << out;
}

TEST_F(Renderer, OverlayTextIsKeptAsBoundedData) {
  ogl_rendererMgr mgr;
  EXPECT_STREQ(mgr.overlay_text(), "");
  mgr.set_overlay_text("2026-12-07 10:00:00");
  EXPECT_STREQ(mgr.overlay_text(), "2026-12-07 10:00:00");
  mgr.set_overlay_text(std::string(500, 'x').c_str());
  EXPECT_EQ(std::string(mgr.overlay_text()), std::string(71, 'x'));
}

}  // namespace
}  // namespace orb::test
