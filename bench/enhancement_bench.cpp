// The enhancement modes on a 4096 x 4096 map, against the plain render in
// the same run: the diffuse-gain transform itself, and one full-size render
// plain, with specular enhancement, of the gain-transformed map, and with
// the texture comparison. The map has random coefficients, colour and
// normals, in this processor's preferred representation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "app/core/ptm_transform.h"
#include "app/core/viewer_state.h"
#include "common/checked_alloc.h"
#include "render/render_image.h"
#include "support/memory_bandwidth.h"
#include "support/random_map.h"

namespace {

constexpr int side = 4096;

Ptm* the_map() {
  static Ptm* map = nullptr;
  if (map == nullptr) {
    map = make_random_map(side, side, PTM_FORMAT_LRGB, preferred_representation());
    const std::size_t bytes = pixel_count(*map) * 3;
    map->normals = checked_alloc_array<std::int8_t>(bytes);
    std::mt19937 random(3);
    for (std::size_t i = 0; i < bytes; i += 3) {
      map->normals[i] = static_cast<std::int8_t>(static_cast<int>(random() % 121) - 60);
      map->normals[i + 1] = static_cast<std::int8_t>(static_cast<int>(random() % 121) - 60);
      map->normals[i + 2] = 100;
    }
    viewer.current_ptm = map;
  }
  return map;
}

void report(benchmark::State& state) {
  state.counters["Mpixels/s"] = benchmark::Counter(
      static_cast<double>(side) * side * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}

void BM_PtmTransform(benchmark::State& state) {
  the_map();
  viewer.diffuse_gain = 1.8f;
  for (auto _ : state) ptm_transform();
  report(state);
}

enum Mode { plain, specular, diffuse_gain_mode, texture_comparison };

void BM_FullSizeRender(benchmark::State& state) {
  Ptm* map = the_map();
  const auto mode = static_cast<Mode>(state.range(0));
  const Ptm* shown = map;
  RenderMode render_mode;
  if (mode == diffuse_gain_mode) {
    viewer.diffuse_gain = 1.8f;
    ptm_transform();
    shown = viewer.display_ptm;
    render_mode.enhancement = Enhancement::diffuse_gain;
  }
  if (mode == specular) render_mode.enhancement = Enhancement::specular;
  if (mode == texture_comparison) render_mode.enhancement = Enhancement::texture_comparison;
  RgbImage* out = new_rgb_image(side, side);
  for (auto _ : state) {
    render_ptm_image(*out, *shown, render_mode, 0.3f, -0.4f, 0, 0);
    benchmark::ClobberMemory();
  }
  free_rgb_image(out);
  report(state);
  const char* names[] = {"plain", "specular", "diffuse gain", "texture comparison"};
  state.SetLabel(names[mode]);
}

}  // namespace

BENCHMARK(BM_PtmTransform)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_FullSizeRender)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
