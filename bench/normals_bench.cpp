// The normal field of a 2048 x 2048 LRGB map. The map's coefficients are
// those of a Lambertian surface (a smooth relief of bumps and ridges) under
// the biquadratic light model, with noise on every stored byte, so that
// pixels take every path: the interior maximum, the circle search with its
// arc samples, and the clamping when the quartic gives no root. A second
// map turns every model's bowl upside down, so that every pixel needs the
// circle search: the slowest map of this size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "analysis/normals.h"
#include "ptm/ptm.h"
#include "support/redirected_stdout.h"

namespace {

constexpr int side = 2048;

// Deterministic noise: a 64-bit linear congruential generator's high bits.
struct Noise {
  std::uint64_t state = 0x9e3779b97f4a7c15u;
  int next(int amplitude) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(2 * amplitude + 1)) -
           amplitude;
  }
};

std::uint8_t clamp_byte(double value) {
  const double rounded = std::floor(value + 0.5);
  return static_cast<std::uint8_t>(rounded < 0 ? 0 : rounded > 255 ? 255 : rounded);
}

// Height h(x, y) of the relief in pixels; its gradient gives the normal.
double relief_height(double x, double y) {
  const double s = 2.0 * 3.141592653589793 / side;
  return 40.0 * std::sin(3 * s * x) * std::cos(2 * s * y) + 25.0 * std::sin(7 * s * (x + y)) +
         60.0 * std::exp(-((x - 700) * (x - 700) + (y - 1200) * (y - 1200)) / 90000.0);
}

// L(u, v) = k (nx u + ny v + nz sqrt(1 - u^2 - v^2)) with the square root
// replaced by its second-order expansion 1 - (u^2 + v^2) / 2: a0 = a1 =
// -k nz / 2, a3 = k nx, a4 = k ny, a5 = k nz. Stored with unit scales and
// bias 128, plus noise of up to +-45 grey levels on the quadratic terms
// (enough to make many models saddles or bowls) and +-12 on the others.
Ptm* make_relief_map(bool convex) {
  Ptm* ptm = create_ptm(side, side, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  for (int k = 0; k < 6; ++k) {
    ptm->scale_bias[k] = 256;
    ptm->scale_bias[6 + k] = 128;
  }
  Noise noise;
  const double k = 100.0;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double hx = relief_height(x + 1, y) - relief_height(x - 1, y);
      const double hy = relief_height(x, y + 1) - relief_height(x, y - 1);
      const double length = std::sqrt(hx * hx / 4 + hy * hy / 4 + 1);
      const double nx = -hx / 2 / length;
      const double ny = -hy / 2 / length;
      const double nz = 1 / length;
      const double curvature = convex ? k * nz / 2 : -k * nz / 2;
      const double a[6] = {curvature, curvature, 0.0, k * nx, k * ny, k * nz};
      const std::size_t pixel = static_cast<std::size_t>(y) * side + x;
      for (int c = 0; c < 6; ++c) {
        const int amplitude = c < 3 ? 45 : 12;
        ptm->coef_planes[c < 3 ? 0 : 1][pixel * 3 + c % 3] =
            clamp_byte(128 + a[c] + noise.next(amplitude));
      }
      for (int c = 0; c < 3; ++c) ptm->color_planes[c][pixel] = 200;
    }
  }
  return ptm;
}

const Ptm& relief_map(bool convex) {
  static const Ptm* relief = make_relief_map(false);
  static const Ptm* convex_relief = make_relief_map(true);
  return convex ? *convex_relief : *relief;
}

// Pixels whose circle search finds no root print a line each: counted
// once, untimed, through a scratch file, and sent to /dev/null while the
// benchmark runs.

void BM_NormalField(benchmark::State& state) {
  const Ptm& ptm = relief_map(state.range(0) != 0);
  const std::size_t pixels = pixel_count(ptm);
  std::vector<std::int8_t> normals(pixels * 3);

  std::FILE* scratch = std::tmpfile();
  long clamped_lines = 0;
  {
    RedirectedStdout redirect(scratch);
    compute_normal_field(ptm, normals.data());
  }
  std::rewind(scratch);
  for (int ch; (ch = std::fgetc(scratch)) != EOF;) clamped_lines += ch == '\n';

  std::FILE* null = std::fopen("/dev/null", "w");
  {
    RedirectedStdout redirect(null);
    for (auto _ : state) {
      compute_normal_field(ptm, normals.data());
      benchmark::ClobberMemory();
    }
  }
  std::fclose(null);
  std::fclose(scratch);

  std::size_t on_circle = 0;  // z byte 0: the circle search's answers
  for (std::size_t p = 0; p < pixels; ++p) on_circle += normals[p * 3 + 2] == 0;
  state.counters["MP/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(pixels) / 1e6,
      benchmark::Counter::kIsRate);
  state.counters["on_circle_%"] = 100.0 * static_cast<double>(on_circle) / pixels;
  state.counters["no_root_lines"] = static_cast<double>(clamped_lines);
}

}  // namespace

BENCHMARK(BM_NormalField)
    ->ArgName("convex")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
