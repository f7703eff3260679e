// The Poisson depth of a 4096 x 4096 map from its unit normals: the whole
// solve (slopes and divergence, the two cosine transforms, the division by
// the eigenvalues) on 1 and 2 threads, and one 2-D single-precision cosine
// transform alone under a plan that FFTW_ESTIMATE chose (what the solve
// uses) and one FFTW_MEASURE chose, with the measuring's own cost as a
// counter, to show whether measuring pays.
// Peak resident memory is read from the kernel's high-water mark (VmHWM),
// reset before each benchmark.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/poisson_depth.h"
#include "common/checked_alloc.h"
#include "support/memory_bandwidth.h"

namespace {

constexpr int side = 4096;
constexpr std::size_t pixels = std::size_t{side} * side;

// The same relief of bumps and ridges as the depth benchmark, in pixels.
double relief_height(double x, double y) {
  const double s = 2.0 * 3.141592653589793 / side;
  return 300.0 * std::sin(3 * s * x) * std::cos(2 * s * y) + 120.0 * std::sin(7 * s * (x + y)) +
         400.0 * std::exp(-((x - 1400) * (x - 1400) + (y - 2400) * (y - 2400)) / 360000.0);
}

const float* relief_normals() {
  static float* normals = [] {
    float* n = checked_alloc_array<float>(pixels * 3);
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const double hx = (relief_height(x + 1, y) - relief_height(x - 1, y)) / 2;
        const double hy = (relief_height(x, y + 1) - relief_height(x, y - 1)) / 2;
        const double length = std::sqrt(hx * hx + hy * hy + 1);
        float* p = n + 3 * (std::size_t{static_cast<unsigned>(y)} * side + x);
        p[0] = static_cast<float>(-hx / length);
        p[1] = static_cast<float>(-hy / length);
        p[2] = static_cast<float>(1 / length);
      }
    }
    return n;
  }();
  return normals;
}

// The kernel's resident-memory high-water mark of this process, in MiB,
// and its reset (Linux: "5" to clear_refs).
double peak_resident_mib() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return -1;
  char line[256];
  double kib = -1;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atof(line + 6);
  }
  std::fclose(status);
  return kib / 1024;
}

void reset_peak_resident() {
  std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
  if (refs == nullptr) return;
  std::fputs("5", refs);
  std::fclose(refs);
}

void set_megapixel_rate(benchmark::State& state) {
  state.counters["MP/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(pixels) / 1e6,
      benchmark::Counter::kIsRate);
}

void BM_PoissonDepth(benchmark::State& state) {
  const float* normals = relief_normals();
  float* depth = checked_alloc_array<float>(pixels);
  reset_peak_resident();
  for (auto _ : state) {
    poisson_depth(normals, nullptr, side, side, depth, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(depth[pixels / 2]);
  }
  set_megapixel_rate(state);
  state.counters["peak_RSS_MiB"] = peak_resident_mib();
  state.counters["normals_MiB"] = pixels * 3 * sizeof(float) / 1048576.0;
  state.counters["depth_MiB"] = pixels * sizeof(float) / 1048576.0;
  state.counters["threads"] = static_cast<double>(state.range(0));
  checked_free(depth);
}

void BM_CosineTransform(benchmark::State& state, unsigned planner) {
  float* work = checked_alloc_array<float>(pixels);
  const auto start = std::chrono::steady_clock::now();
  fftwf_plan plan = fftwf_plan_r2r_2d(side, side, work, work, FFTW_REDFT10, FFTW_REDFT10, planner);
  const double planning =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (std::size_t i = 0; i < pixels; ++i) {
    work[i] = static_cast<float>(std::sin(0.001 * static_cast<double>(i)));
  }
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::DoNotOptimize(work[0]);
  }
  set_megapixel_rate(state);
  state.counters["planning_s"] = planning;
  fftwf_destroy_plan(plan);
  checked_free(work);
}

}  // namespace

BENCHMARK(BM_PoissonDepth)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_CosineTransform, estimate, FFTW_ESTIMATE)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_CosineTransform, measure, FFTW_MEASURE)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
