// Mesh builds happen on every draw-mode change, on the render thread.
#include <benchmark/benchmark.h>

#include <geometry/vertex_factory.h>

#include "calibration_samples.h"

namespace {

void BM_SphereMeshWithTextureCoords(benchmark::State& state) {
  orb::VertexFactory factory;
  orb::test::load_factory(factory, orb::test::example_calibration());
  for (auto _ : state) benchmark::DoNotOptimize(factory.generate_mesh(orb::DRAW_MODE_PERSPECTIVE, true, -1));
  state.counters["vertices"] = static_cast<double>(factory.positions().size() / 3);
}
BENCHMARK(BM_SphereMeshWithTextureCoords)->Unit(benchmark::kMillisecond);

void BM_PanoramaGridWithTextureCoords(benchmark::State& state) {
  orb::VertexFactory factory;
  orb::test::load_factory(factory, orb::test::example_calibration());
  for (auto _ : state) benchmark::DoNotOptimize(factory.generate_mesh(orb::DRAW_MODE_PANORAMA, false, 0));
}
BENCHMARK(BM_PanoramaGridWithTextureCoords)->Unit(benchmark::kMillisecond);

void BM_ProjectRay(benchmark::State& state) {
  orb::VertexFactory factory;
  orb::test::load_factory(factory, orb::test::example_calibration());
  float a = -1.5f;
  for (auto _ : state) {
    benchmark::DoNotOptimize(factory.project_ray(a, 1.0f));
    a = a > 1.5f ? -1.5f : a + 0.001f;
  }
}
BENCHMARK(BM_ProjectRay);

}  // namespace

BENCHMARK_MAIN();
