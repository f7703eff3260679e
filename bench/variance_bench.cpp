// The variance model of 4096 x 4096 maps against the memory bandwidth
// measured in the same run (the model reads each coefficient byte once, so
// bytes read / bandwidth bounds it), the range scan of the 250 x 250 plot,
// and the whole entropy sweep of a 1024 x 768 view rendered off-screen,
// with its 441 picture files and without them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "analysis/entropy.h"
#include "analysis/luminance_moments.h"
#include "analysis/variance.h"
#include "render/evaluate.h"
#include "render/render_image.h"
#include "support/files.h"
#include "support/memory_bandwidth.h"
#include "support/random_map.h"
#include "support/redirected_stdout.h"

namespace {

constexpr int side = 4096;

double read_bandwidth = 0;  // bytes per second

struct MapCase {
  const char* name;
  int format;
  double coefficient_bytes_per_pixel;  // what the model reads
};

const MapCase map_cases[] = {
    {"LRGB", PTM_FORMAT_LRGB, 6},
    {"RGB", PTM_FORMAT_RGB, 18},
};

const Ptm& map_for(int index) {
  static Ptm* maps[2] = {};
  if (maps[index] == nullptr) {
    maps[index] = make_random_map(side, side, map_cases[index].format, CoefRepresentation::wide);
  }
  return *maps[index];
}

void report_bytes(benchmark::State& state, const MapCase& c) {
  const double bytes = static_cast<double>(side) * side * c.coefficient_bytes_per_pixel;
  state.counters["GB/s"] =
      benchmark::Counter(bytes * state.iterations() / 1e9, benchmark::Counter::kIsRate);
  // The share of the measured bandwidth this pace is.
  state.counters["of_bandwidth"] =
      benchmark::Counter(bytes * state.iterations() / read_bandwidth, benchmark::Counter::kIsRate);
}

// build_variance_model as the viewer calls it: the fastest moment kernel.
void BM_BuildVarianceModel(benchmark::State& state) {
  const MapCase& c = map_cases[state.range(0)];
  const Ptm& ptm = map_for(static_cast<int>(state.range(0)));
  VarianceModel model{};
  for (auto _ : state) {
    build_variance_model(ptm, model);
    benchmark::DoNotOptimize(model);
  }
  report_bytes(state, c);
  state.SetLabel(c.name);
}

// The moments by each instruction set's kernels.
void BM_LuminanceMoments(benchmark::State& state) {
  const MapCase& c = map_cases[state.range(0)];
  const auto isa = static_cast<MomentsIsa>(state.range(1));
  const char* isa_names[] = {"portable", "avx2", "avx512"};
  if (!moments_isa_available(isa)) {
    state.SkipWithError("this processor lacks the instruction set");
    return;
  }
  const Ptm& ptm = map_for(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(luminance_moments(ptm, isa));
  report_bytes(state, c);
  state.SetLabel(std::string(c.name) + " " + isa_names[state.range(1)]);
}

// The straightforward way: every pixel's coefficients decoded to doubles
// and the 27 sums taken in double precision.
void BM_BuildVarianceModelPerPixel(benchmark::State& state) {
  const MapCase& c = map_cases[state.range(0)];
  const Ptm& ptm = map_for(static_cast<int>(state.range(0)));
  VarianceModel model{};
  for (auto _ : state) {
    build_variance_model_per_pixel(ptm, model);
    benchmark::DoNotOptimize(model);
  }
  report_bytes(state, c);
  state.SetLabel(c.name);
}

void BM_ScanVarianceRange(benchmark::State& state) {
  VarianceModel model{};
  build_variance_model(map_for(0), model);
  for (auto _ : state) benchmark::DoNotOptimize(scan_variance_range(model, 250, 250, 1.0f));
}

// A 1024 x 768 view of an LRGB map, as the viewer shows it (one light, the
// fastest row kernel).
struct SweepView {
  Ptm* ptm = make_random_map(1024, 768, PTM_FORMAT_LRGB, preferred_representation());
  RgbImage* view = new_rgb_image(1024, 768);
};

SweepView& sweep_view() {
  static SweepView view;
  return view;
}

void render_into(float u, float v, RgbImage& image) {
  render_plain_image(image, *sweep_view().ptm, u, v, 0, 0);
}

// The sweep with its 441 pictures (2.36 MB each) and table written to a
// scratch folder: bound by the file system.
void BM_EntropySweep(benchmark::State& state) {
  SweepView& view = sweep_view();
  ScratchDirectory scratch("entropy_bench");
  const std::string base = scratch.file("view.ptm");
  std::FILE* null = std::fopen("/dev/null", "w");
  {
    RedirectedStdout silence(null);
    for (auto _ : state) benchmark::DoNotOptimize(entropy_sweep(base, *view.view, render_into));
  }
  std::fclose(null);
  state.counters["MB_written"] = 441.0 * (1024 * 768 * 3 + 15) / 1e6;
}

// The same 441 lights without the files: rendering the view where the
// light is inside the disc, blackening it elsewhere, and its entropy.
void BM_EntropySweepWithoutFiles(benchmark::State& state) {
  SweepView& view = sweep_view();
  RgbImage& image = *view.view;
  for (auto _ : state) {
    double total = 0;
    for (int r = 0; r < entropy_grid_size; ++r) {
      for (int c = 0; c < entropy_grid_size; ++c) {
        if ((c - 10) * (c - 10) + (r - 10) * (r - 10) <= 100) {
          render_into(entropy_grid_position(c), entropy_grid_position(r), image);
        } else {
          std::fill(image.pixels, image.pixels + std::size_t{1024} * 768 * 3, 0);
        }
        total += image_entropy(image);
      }
    }
    benchmark::DoNotOptimize(total);
  }
}

// The entropy of one relit 1024 x 768 view.
void BM_ImageEntropy(benchmark::State& state) {
  SweepView& view = sweep_view();
  render_into(0.3f, -0.2f, *view.view);
  for (auto _ : state) benchmark::DoNotOptimize(image_entropy(*view.view));
}

// Rendering one 1024 x 768 view, as the sweep's callback does.
void BM_RenderView(benchmark::State& state) {
  SweepView& view = sweep_view();
  for (auto _ : state) {
    render_into(0.3f, -0.2f, *view.view);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_BuildVarianceModel)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LuminanceMoments)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BuildVarianceModelPerPixel)
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ScanVarianceRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageEntropy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EntropySweep)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_EntropySweepWithoutFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  read_bandwidth = report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
