// The stitching program's colour paths, drawn one full-target quad at a time
// with chosen per-vertex inputs.
#include <render/stitching_program.h>

#include <geometry/matrix.h>

#include <cmath>

#include "capture.h"
#include "gl_fixture.h"

namespace orb::test {
namespace {

constexpr int kSize = 32;

struct QuadInputs {
  float index = 1;
  float xy[2] = {0.5f, 0.5f};  // constant over the quad unless `spread`
  float zw[2] = {0.5f, 0.5f};
  float weight = 0;
};

class StitchingProgram : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    if (IsSkipped()) return;
    target_ = make_target(kSize, kSize);
    ASSERT_EQ(init_manager(mgr_, example_calibration(), 64, 64, &logo_, 2), 0) << mgr_.error_text();
  }

  // Colour of the quad's centre pixel.
  std::array<int, 4> draw(const QuadInputs& in, Band band = Band::kAny) {
    const float positions[] = {-1, -1, 0, 1, -1, 0, -1, 1, 0, 1, 1, 0};
    float coords[16], indices[4], weights[4];
    for (int v = 0; v < 4; ++v) {
      coords[v * 4] = in.xy[0];
      coords[v * 4 + 1] = in.xy[1];
      coords[v * 4 + 2] = in.zw[0];
      coords[v * 4 + 3] = in.zw[1];
      indices[v] = in.index;
      weights[v] = in.weight;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    target_->bind();
    glViewport(0, 0, kSize, kSize);
    glClearColor(0.3f, 0.3f, 0.3f, 0.5f);  // anything the quad fails to cover shows
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(mgr_.program(band));
    mgr_.bind_textures();
    const Mat4 identity = identity_matrix();
    glUniformMatrix4fv(mgr_.uniforms(band).mvp_matrix, 1, GL_FALSE, identity.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    const StitchAttributes& a = mgr_.attributes();
    auto feed = [](GLint location, int components, const float* data) {
      glEnableVertexAttribArray(static_cast<GLuint>(location));
      glVertexAttribPointer(static_cast<GLuint>(location), components, GL_FLOAT, GL_FALSE, 0, data);
    };
    feed(a.position, 3, positions);
    feed(a.texture_coord, 4, coords);
    feed(a.tex_index, 1, indices);
    feed(a.left_weights, 1, weights);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const auto rgba = target_->read_rgba();
    const std::size_t centre = (static_cast<std::size_t>(kSize / 2) * kSize + kSize / 2) * 4;
    return {rgba[centre], rgba[centre + 1], rgba[centre + 2], rgba[centre + 3]};
  }

  void upload_grey_halves(int left_y, int right_y) {
    const YuvFrame f = make_frame(64, 64, [&](double x, double) {
      return Yuv{x < 32 ? double(left_y) : double(right_y), 128, 128};
    });
    ASSERT_EQ(upload(mgr_, f), 0);
  }

  // A 2x2 logo in BGR order: blue 10, green 200, red 90 everywhere.
  std::vector<std::uint8_t> logo_ = {10, 200, 90, 10, 200, 90, 10, 200, 90, 10, 200, 90};
  std::unique_ptr<OffscreenTarget> target_;
  ogl_rendererMgr mgr_;
};

using Rgba = std::array<int, 4>;

void expect_colour(const Rgba& actual, const Rgba& expected, int tolerance, const std::string& what) {
  for (int c = 0; c < 4; ++c) EXPECT_NEAR(actual[c], expected[c], tolerance) << what << " channel " << c;
}

TEST_F(StitchingProgram, LimitedRangeLevelsBecomeBlackAndWhite) {
  upload_grey_halves(16, 16);
  // Chroma 128 is 0.502, not 0.5: red and blue may show one level.
  expect_colour(draw({}), {0, 0, 0, 255}, 1, "Y=16");
  upload_grey_halves(235, 235);
  expect_colour(draw({}), {255, 255, 255, 255}, 2, "Y=235");
}

TEST_F(StitchingProgram, IndexZeroAndTheGapsBetweenBandsAreOpaqueBlack) {
  upload_grey_halves(235, 235);
  for (float index : {0.0f, 0.5f, 1.12f, 1.5f, 2.5f, 2.2f}) {
    QuadInputs in;
    in.index = index;
    expect_colour(draw(in), {0, 0, 0, 255}, 0, "index " + std::to_string(index));
  }
}

TEST_F(StitchingProgram, CoordinatesOutsideThePictureAreBlack) {
  upload_grey_halves(235, 235);
  QuadInputs outside;
  outside.xy[0] = 1.3f;
  expect_colour(draw(outside), {0, 0, 0, 255}, 0, "index 1, x outside");
  outside = {};
  outside.index = 2;
  outside.zw[1] = -0.2f;
  expect_colour(draw(outside), {0, 0, 0, 255}, 0, "index 2, w outside");
  QuadInputs inside;
  inside.index = 2;
  expect_colour(draw(inside), {255, 255, 255, 255}, 2, "index 2 inside");
}

TEST_F(StitchingProgram, LogoIsShownWithoutColourConversion) {
  upload_grey_halves(16, 16);
  QuadInputs in;
  in.index = 4;
  expect_colour(draw(in), {90, 200, 10, 255}, 1, "logo");
  in.index = 3.2f;  // anything from 3.1 up is the logo
  expect_colour(draw(in), {90, 200, 10, 255}, 1, "logo band");
}

TEST_F(StitchingProgram, BlendWeighsTheTwoPictureAreas) {
  upload_grey_halves(60, 200);
  QuadInputs in;
  in.index = 3;
  in.xy[0] = 0.25f;  // left half
  in.zw[0] = 0.75f;  // right half
  const auto grey = [](double y) { return static_cast<int>(std::lround(yuv_to_rgb({y, 128, 128})[0])); };
  in.weight = 1;
  expect_colour(draw(in), {grey(60), grey(60), grey(60), 255}, 1, "weight 1");
  in.weight = 0;
  expect_colour(draw(in), {grey(200), grey(200), grey(200), 255}, 1, "weight 0");
  in.weight = 0.25f;
  const int mix = static_cast<int>(std::lround(0.25 * grey(60) + 0.75 * grey(200)));
  expect_colour(draw(in), {mix, mix, mix, 255}, 2, "weight 0.25");
}

// Each band's triangles are drawn by a variant of their own; it must draw
// what the variant deciding per pixel draws.
TEST_F(StitchingProgram, EachBandsVariantDrawsWhatTheGeneralOneDraws) {
  upload_grey_halves(60, 200);
  std::vector<QuadInputs> cases;
  for (float index : {0.0f, 1.0f, 2.0f, 3.0f, 4.0f}) {
    for (float x : {0.25f, 0.75f, 1.3f}) {
      QuadInputs in;
      in.index = index;
      in.xy[0] = x;
      in.zw[0] = 1.0f - x;
      in.weight = 0.3f;
      cases.push_back(in);
    }
  }
  for (const QuadInputs& in : cases) {
    const Band band = band_of(in.index);
    ASSERT_NE(band, Band::kAny);
    const std::string what = "index " + std::to_string(in.index) + " x " + std::to_string(in.xy[0]);
    expect_colour(draw(in, band), draw(in), 0, what);
  }
  EXPECT_EQ(band_of(1.12f), Band::kBlack);
  EXPECT_EQ(band_of(2.95f), Band::kBlend);
  EXPECT_EQ(band_of(3.2f), Band::kLogo);
}

TEST_F(StitchingProgram, FailuresAreReportedAndLeaveNoProgram) {
  constexpr const char* good_vertex = "#version 430 compatibility\nvoid main() { gl_Position = vec4(0.0); }\n";
  constexpr const char* good_fragment = "#version 430 compatibility\nvoid main() { gl_FragColor = vec4(1.0); }\n";
  GlProgram program;
  ASSERT_EQ(build_stitching_program(program, good_vertex, good_fragment), 0);
  EXPECT_TRUE(program);

  std::string out = captured_stderr([&] {
    EXPECT_EQ(build_stitching_program(program, "#version 430 compatibility\nvoid main() { oops }\n", good_fragment), 1);
  });
  EXPECT_EQ(out.rfind("Could not compile vertex shader:\n", 0), 0u) << out;
  EXPECT_FALSE(program);

  out = captured_stderr([&] {
    EXPECT_EQ(build_stitching_program(program, good_vertex, "#version 430 compatibility\nvoid main() { x = 1; }\n"), 1);
  });
  EXPECT_EQ(out.rfind("Could not compile fragment shader:\n", 0), 0u) << out;

  // Each stage compiles, but they disagree on a varying's type.
  out = captured_stderr([&] {
    EXPECT_EQ(build_stitching_program(
                  program,
                  "#version 430 compatibility\nvarying float k;\nvoid main() { k = 1.0; gl_Position = vec4(0.0); }\n",
                  "#version 430 compatibility\nvarying vec3 k;\nvoid main() { gl_FragColor = vec4(k, 1.0); }\n"),
              1);
  });
  EXPECT_EQ(out.rfind("error: Could not link program:\n", 0), 0u) << out;
  EXPECT_FALSE(program);
}

}  // namespace
}  // namespace orb::test
