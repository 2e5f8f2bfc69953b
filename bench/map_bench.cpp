// Milliseconds per picture of the converter's per-pixel map alone: a
// 1920x1080 fisheye picture through one perspective view (the converter's
// "ball" layout) at the converter's two usual output sizes, on one core.
#include <benchmark/benchmark.h>

#include <av/av_ptr.h>
#include <geometry/view_camera.h>
#include <geometry/view_layout.h>
#include <render/headless_gl.h>
#include <render/offscreen_renderer.h>
#include <render/remap_plan.h>

#include <random>

#include "calibration_samples.h"

namespace {

constexpr int kSrcW = 1920, kSrcH = 1080;

// The plan of the ball layout at w x h, as `orbtool convert` lays it out.
bool build_plan(int w, int h, orb::RemapPlan& plan, std::string& error) {
  auto context = orb::HeadlessGlContext::create(error);
  if (!context) return false;
  orb::test::TempDir dir;
  const auto path = orb::test::write_calibration(dir, "lens.inf", orb::test::example_calibration());
  const orb::LayoutPlan layout = *orb::plan_layout(orb::kLayoutBall, w, h);
  orb::OffscreenViews views;
  views.calibration_path = path.c_str();
  views.width = w;
  views.height = h;
  views.count = 1;
  views.view_width[0] = w;
  views.view_height[0] = h;
  views.draw_mode[0] = layout.draw_mode;
  const auto angles = orb::preset_angles(1, 0, orb::kMountUp);
  views.pitch[0] = angles ? (*angles)[0] : 0;
  views.yaw[0] = angles ? (*angles)[1] : 0;
  orb::ViewCamera camera;
  bool changed = false;
  camera.select_draw_mode(layout.draw_mode, w, h, kSrcW, kSrcH, changed);
  views.zoom[0] = camera.default_zoom();
  orb::OffscreenRenderer renderer;
  return renderer.init(views, kSrcW, kSrcH, error) == 0 && renderer.build_remap(plan, error) == 0;
}

orb::AvFramePtr yuv_frame(int w, int h) {
  orb::AvFramePtr frame = orb::make_frame();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = w;
  frame->height = h;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  return frame;
}

void BM_Map(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  orb::RemapPlan plan;
  std::string error;
  if (!build_plan(w, h, plan, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  orb::AvFramePtr src = yuv_frame(kSrcW, kSrcH), dst = yuv_frame(w, h);
  std::mt19937 random(1);
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < src->linesize[p] * (p ? kSrcH / 2 : kSrcH); ++i)
      src->data[p][i] = static_cast<std::uint8_t>(random());
  for (auto _ : state) {
    plan.apply(src.get(), dst.get());
    benchmark::DoNotOptimize(dst->data[0][0]);
  }
}
BENCHMARK(BM_Map)->Args({1024, 768})->Args({1920, 960})->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
