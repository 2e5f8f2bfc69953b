// The offscreen views on a picture whose halves differ: views land in
// their places in the output, the right way up; and the map applied eight
// pixels at a time gives the pixels one at a time does.
#include <libOrbVideoConverter/ISS_OrbVideoConverter.h>
#include <render/headless_gl.h>
#include <render/offscreen_renderer.h>
#include <render/remap_plan.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

extern "C" {
#include <libavutil/frame.h>
}

#include "calibration_samples.h"
#include "gl_fixture.h"
#include "temp_dir.h"

namespace orb {
namespace {

TEST(OffscreenRenderer, SideBySideViewportsFillTheirHalvesUpright) {
  std::string error;
  auto context = HeadlessGlContext::create(error);
  if (!context && test::gl_skip_allowed()) GTEST_SKIP() << error;
  ASSERT_TRUE(context) << error << " (ORB_ALLOW_GL_SKIP=1 skips)";
  test::TempDir dir;
  const auto calibration = test::write_calibration(dir, "lens.inf", test::example_calibration());
  // Input 64 x 32: top half red, bottom half blue.
  constexpr int kW = 64, kH = 32;
  std::vector<std::uint8_t> input(kW * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      std::uint8_t* p = &input[(y * kW + x) * 4];
      p[0] = y < kH / 2 ? 255 : 0;
      p[2] = y < kH / 2 ? 0 : 255;
      p[3] = 255;
    }
  ConverterInitParams params{};
  params.calib_filename = calibration.c_str();
  params.dst_width = 256;
  params.dst_height = 64;
  params.viewport_count = 2;
  for (int i = 0; i < 2; ++i) {
    params.draw_mode[i] = 0;  // the source picture, 2:1 in a 2:1 viewport
    params.zoom[i] = 1;
    params.x[i] = i * 128;
    params.width[i] = 128;
    params.height[i] = 64;
  }
  std::vector<std::uint8_t> out(256 * 64 * 4, 7);
  {
    OffscreenViews views = offscreen_views(params);
    OffscreenRenderer renderer;
    RemapPlan plan;
    ASSERT_EQ(renderer.init(views, kW, kH, error), 0) << error;
    ASSERT_EQ(renderer.build_remap(plan, error), 0) << error;
    plan.apply_rgba(input.data(), kW, out.data());
  }
  auto at = [&](int x, int y) { return &out[(y * 256 + x) * 4]; };
  for (int x : {20, 100, 150, 230}) {   // both halves, rows top first
    EXPECT_EQ(at(x, 10)[0], 255) << x;  // red on top
    EXPECT_EQ(at(x, 10)[2], 0) << x;
    EXPECT_EQ(at(x, 54)[0], 0) << x;  // blue below
    EXPECT_EQ(at(x, 54)[2], 255) << x;
  }
  for (std::size_t i = 3; i < out.size(); i += 4) ASSERT_EQ(out[i], 255) << "a pixel no view covered";
}

AvFramePtr yuv_frame(int width, int height, int align) {
  AvFramePtr frame = make_frame();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), align) < 0) return nullptr;
  return frame;
}

TEST(RemapPlan, EightAtATimeGivesThePixelsOneAtATimeDoes) {
  std::mt19937 random(7);
  // Odd source sizes, planes with no padding (taps at the very end of a
  // plane), positions everywhere including the edges; pixels not shown at
  // random, or all round a disc (black margins, rows and runs).
  for (const auto& [src_w, src_h, dst_w, dst_h] : {std::array{97, 61, 70, 50}, std::array{64, 32, 130, 66}}) {
    // Positions at random, or smooth as a view's are: slanted (rows of the
    // output cross rows of the source; the last rows are reached), turned
    // a quarter (rows of the output run down columns of the source) or
    // steep (down a few columns at once).
    for (bool disc : {false, true}) {
      for (int mapping : {0, 1, 2, 3}) {
        std::vector<RemapPlan::Coord> coords(static_cast<std::size_t>(dst_w) * dst_h);
        std::uniform_real_distribution<float> unit(-0.05f, 1.05f);
        for (std::size_t i = 0; i < coords.size(); ++i) {
          const float fx = static_cast<float>(static_cast<int>(i) % dst_w) / static_cast<float>(dst_w);
          const float fy = static_cast<float>(static_cast<int>(i) / dst_w) / static_cast<float>(dst_h);
          const float dx = fx - 0.5f, dy = (fy - 0.5f) * static_cast<float>(dst_h) / static_cast<float>(dst_w);
          const bool shown = disc ? dx * dx + dy * dy < 0.04f : random() % 10 != 0;
          coords[i] = mapping == 1 ? RemapPlan::Coord{0.2f + 0.7f * fx * fx, 0.75f * fy + 0.3f * fx, shown}
                      : mapping == 2
                          ? RemapPlan::Coord{0.3f + 0.4f * fy, 0.05f + 0.9f * std::fmod(2.5f * fx, 1.0f), shown}
                      : mapping == 3 ? RemapPlan::Coord{0.2f + 0.3f * fx + 0.2f * fy, 0.05f + 0.9f * fx, shown}
                                     : RemapPlan::Coord{unit(random), unit(random), shown};
        }
        for (int x = 0; x < dst_w; ++x) coords[static_cast<std::size_t>(x)] = {1.0f, 1.0f, !disc};  // the last samples
        RemapPlan plan;
        plan.build(coords, dst_w, dst_h, src_w, src_h);
        AvFramePtr src = yuv_frame(src_w, src_h, 1);
        ASSERT_TRUE(src);
        for (int p = 0; p < 3; ++p)
          for (int i = 0; i < src->linesize[p] * (p ? (src_h + 1) / 2 : src_h); ++i)
            src->data[p][i] = static_cast<std::uint8_t>(random());
        AvFramePtr one = yuv_frame(dst_w, dst_h, 32), eight = yuv_frame(dst_w, dst_h, 32);
        plan.apply(src.get(), one.get(), false);
        plan.apply(src.get(), eight.get(), true);
        int black = 0;
        for (int p = 0; p < 3; ++p)
          for (int y = 0; y < (p ? dst_h / 2 : dst_h); ++y)
            for (int x = 0; x < (p ? dst_w / 2 : dst_w); ++x) {
              const std::uint8_t a = one->data[p][y * one->linesize[p] + x];
              ASSERT_EQ(a, eight->data[p][y * eight->linesize[p] + x])
                  << "plane " << p << " at " << x << "," << y << " of " << dst_w << "x" << dst_h
                  << (disc ? ", disc" : "") << ", mapping " << mapping;
              if (p == 0 && !coords[static_cast<std::size_t>(y) * dst_w + x].shown) {
                ASSERT_EQ(a, 16) << "unshown pixel " << x << "," << y;
                ++black;
              }
            }
        EXPECT_GT(black, dst_w * dst_h / 20);
      }
    }
  }
}

}  // namespace
}  // namespace orb
