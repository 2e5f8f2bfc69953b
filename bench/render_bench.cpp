// Frames per second of one render pass (frame upload + draw of every
// enabled viewport) at 1920x1080 on the headless context.
#include <benchmark/benchmark.h>

#include <render/headless_gl.h>
#include <render/offscreen_target.h>
#include <render/ogl_rendererMgr.h>

#include <cstdio>

#include "calibration_samples.h"
#include "yuv_frame.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

void run_passes(benchmark::State& state, int viewports) {
  std::string error;
  auto context = orb::HeadlessGlContext::create(error);
  if (!context) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto target = orb::OffscreenTarget::create(kWidth, kHeight, error);
  if (!target) {
    state.SkipWithError(error.c_str());
    return;
  }
  target->bind();
  orb::test::TempDir dir;
  const auto path = orb::test::write_calibration(dir, "lens.inf", orb::test::example_calibration());
  orb::ogl_rendererMgr mgr;
  orb::RendererInit init;
  init.calibration_path = path.c_str();
  init.video_width = kWidth;
  init.video_height = kHeight;
  if (mgr.init(init) != 0) {
    state.SkipWithError("renderer init failed");
    return;
  }
  std::array<int, 4> enabled{};
  if (viewports == 1) {
    mgr.set_viewport_rect(0, 0, 0, kWidth, kHeight);
    mgr.set_draw_mode(0, orb::DRAW_MODE_WIDE_ANGLE);
    enabled[0] = 1;
  } else {
    for (int i = 0; i < 4; ++i) {
      mgr.set_viewport_rect(i, (i % 2) * kWidth / 2, (i / 2) * kHeight / 2, kWidth / 2, kHeight / 2);
      mgr.set_draw_mode(i, orb::DRAW_MODE_PERSPECTIVE);
      mgr.set_view_angles(i, 30, 90.0f * static_cast<float>(i), 0);
      enabled[static_cast<std::size_t>(i)] = 1;
    }
  }
  const auto frame = orb::test::make_frame(kWidth, kHeight, [](double x, double y) {
    return orb::test::Yuv{16 + 219 * x / kWidth, 16 + 224 * y / kHeight, 128};
  });
  for (auto _ : state) {
    mgr.upload_frame(frame.y.data(), frame.u.data(), frame.v.data(), kWidth, kHeight);
    mgr.draw_all(enabled);
    glFinish();
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(context->description());
}

void BM_DrawOneSphereViewport(benchmark::State& state) { run_passes(state, 1); }
void BM_DrawFourSphereViewports(benchmark::State& state) { run_passes(state, 4); }
BENCHMARK(BM_DrawOneSphereViewport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_DrawFourSphereViewports)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
