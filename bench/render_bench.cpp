// Relighting whole 4096 x 4096 maps, one per format and representation, by
// every row kernel this processor has, against the memory bandwidth measured
// in the same run: a kernel that only streams its coefficients can go no
// faster than (bytes read and written per pixel) / bandwidth.
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "common/checked_alloc.h"
#include "memory_bandwidth.h"
#include "ptm/coefficients.h"
#include "render/evaluate.h"
#include "render/evaluate_rows.h"
#include "render/render_image.h"

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

Ptm* make_map(const MapCase& c) {
  Ptm* ptm = create_ptm(side, side, c.format, c.representation);
  std::mt19937 random(7);
  const std::size_t pixels = pixel_count(*ptm);
  const int planes = c.format == PTM_FORMAT_RGB ? 6 : 2;
  for (int p = 0; p < planes; ++p) {
    for (std::size_t i = 0; i < pixels * 3; ++i) ptm->coef_planes[p][i] = random() & 0xff;
  }
  for (int k = 0; k < 6; ++k) {
    ptm->scale_bias[k] = 256;
    ptm->scale_bias[6 + k] = k == 5 ? 0 : 128;
  }
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random())};
    if (c.format == PTM_FORMAT_LRGB) set_lrgb_color(*ptm, i, rgb);
    if (c.format == PTM_FORMAT_LUM) {
      ptm->color_planes[0][i] = rgb[0];
      ptm->color_planes[2][i] = rgb[1];
    }
  }
  if (ptm->color_matrix != nullptr) {
    const float matrix[16] = {1, 0.5f, 0, -20, 0, 1, 0.25f, 0, 0.3f, 0.7f, 0, 0, 0, 0, 0, 1};
    std::memcpy(ptm->color_matrix, matrix, sizeof matrix);
  }
  convert_all_coefficients(*ptm);
  return ptm;
}

Ptm* map_for(int index) {
  static Ptm* maps[5] = {};
  if (maps[index] == nullptr) maps[index] = make_map(map_cases[index]);
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
  select_evaluator(*ptm);
  const EvaluateRowFn kernel = row_evaluator(*ptm, isa);
  if (kernel == nullptr) {
    state.SkipWithError("no kernel for this instruction set");
    return;
  }
  RgbImage* out = new_rgb_image(side, side);
  set_light_weights(0.3f, -0.4f);
  for (auto _ : state) {
    for (int y = 0; y < side; ++y)
      kernel(*ptm, 0, y, side, out->pixels + std::size_t{3} * side * y);
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
  select_evaluator(*ptm);
  RgbImage* out = new_rgb_image(side, side);
  for (auto _ : state) {
    render_ptm_image(*out, *ptm, 0.3f, -0.4f, 0, 0);
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
  read_bandwidth = measure_read_bandwidth();
  benchmark::AddCustomContext("memory_read_bandwidth_GB/s", std::to_string(read_bandwidth / 1e9));
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
