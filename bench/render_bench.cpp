// Relighting whole 4096 x 4096 maps, one per format and representation, by
// every row kernel this processor has, against the memory bandwidth measured
// in the same run: a kernel that only streams its coefficients can go no
// faster than (bytes read and written per pixel) / bandwidth.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "render/evaluate.h"
#include "render/evaluate_rows.h"
#include "render/render_image.h"
#include "support/memory_bandwidth.h"
#include "support/random_map.h"

namespace {

constexpr int side = 4096;

struct MapCase {
  const char* name;
  int format;
  CoefRepresentation representation;
  double bytes_per_pixel;  // coefficient and colour bytes read, plus 3 written
};

const MapCase map_cases[] = {
    {"packed_rgb", PTM_FORMAT_RGB, CoefRepresentation::packed, 48 + 3},
    {"packed_lrgb", PTM_FORMAT_LRGB, CoefRepresentation::packed, 16 + 3},
    {"wide_rgb", PTM_FORMAT_RGB, CoefRepresentation::wide, 72 + 3},
    {"wide_lrgb", PTM_FORMAT_LRGB, CoefRepresentation::wide, 24 + 3 + 3},
    {"wide_lum", PTM_FORMAT_LUM, CoefRepresentation::wide, 24 + 2 + 3},
};

const char* isa_names[] = {"scalar", "sse2", "avx2", "avx512"};

double read_bandwidth = 0;  // bytes per second

Ptm* map_for(int index) {
  static Ptm* maps[5] = {};
  if (maps[index] == nullptr)
    maps[index] =
        make_random_map(side, side, map_cases[index].format, map_cases[index].representation);
  return maps[index];
}

void report(benchmark::State& state, const MapCase& c) {
  const double pixels = static_cast<double>(side) * side * state.iterations();
  state.counters["Mpixels/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
  state.counters["of_bound"] =
      benchmark::Counter(pixels * c.bytes_per_pixel / read_bandwidth, benchmark::Counter::kIsRate);
}

// The row kernel of one instruction set over the whole map.
void BM_RowKernel(benchmark::State& state) {
  const MapCase& c = map_cases[state.range(0)];
  const auto isa = static_cast<RowIsa>(state.range(1));
  Ptm* ptm = map_for(static_cast<int>(state.range(0)));
  const EvaluateRowFn kernel = row_evaluator(*ptm, isa);
  if (kernel == nullptr) {
    state.SkipWithError("no kernel for this instruction set");
    return;
  }
  RgbImage* out = new_rgb_image(side, side);
  const LightWeights weights = light_weights_for(0.3f, -0.4f);
  for (auto _ : state) {
    for (int y = 0; y < side; ++y)
      kernel(*ptm, weights, 0, y, side, out->pixels + std::size_t{3} * side * y);
    benchmark::ClobberMemory();
  }
  report(state, c);
  state.SetLabel(std::string(c.name) + " " + isa_names[state.range(1)]);
  free_rgb_image(out);
}

// render_ptm_image as the views call it (best kernel, plain mode).
void BM_RenderPtmImage(benchmark::State& state) {
  const MapCase& c = map_cases[state.range(0)];
  Ptm* ptm = map_for(static_cast<int>(state.range(0)));
  RgbImage* out = new_rgb_image(side, side);
  for (auto _ : state) {
    render_ptm_image(*out, *ptm, RenderMode{}, 0.3f, -0.4f, 0, 0);
    benchmark::ClobberMemory();
  }
  report(state, c);
  state.SetLabel(c.name);
  free_rgb_image(out);
}

}  // namespace

BENCHMARK(BM_RowKernel)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK(BM_RenderPtmImage)
    ->DenseRange(0, 4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  read_bandwidth = report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
