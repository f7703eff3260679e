// The palettizer's hot spot, the assignment of every pixel to its nearest
// of 256 entries, on a 1024 x 1024 LRGB map for D = 6 ('p') and D = 9
// ('c'): the reference loop and each exact fast path in the same run.
// Throughput counts n x 256 x D squared differences per pass, as the
// reference computes them, whatever the fast path skips: "sqdiff/s" per
// second of wall time and "sqdiff/s_cpu" per second of the thread's own
// processor time (steadier on a machine others are using); "x_naive" is
// the speed-up over the reference on the same map and table, in processor
// time.
//
// Two maps: smooth waves with a little noise (as fitted coefficients look)
// and random bytes (every pixel unlike its neighbours, the worst case for
// the pruning). Two tables: the random initial one of the first iteration
// and the table after ten iterations.
//
// Then the whole 'p' command (ten iterations, statistics, update) on a
// 4096 x 4096 map, once.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <map>
#include <tuple>
#include <vector>

#include "support/memory_bandwidth.h"
#include "support/random_map.h"
#include "support/redirected_stdout.h"
#include "support/smooth_map.h"
#include "writers/palettize.h"

namespace {

constexpr int side = 1024;
const char* map_names[] = {"smooth", "random"};
const char* table_names[] = {"initial table", "table after 10 iterations"};
const char* isa_names[] = {"naive", "scalar", "sse2", "avx2", "avx512"};

struct Workload {
  Ptm* ptm = nullptr;
  std::vector<std::uint8_t> features;
  std::vector<std::int32_t> tables[2];
};

const Workload& workload(int map, int components) {
  static std::map<std::pair<int, int>, Workload> cache;
  Workload& w = cache[{map, components}];
  if (w.ptm != nullptr) return w;
  w.ptm = map == 0 ? make_smooth_lrgb_map(side)
                   : make_random_map(side, side, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  const std::size_t n = pixel_count(*w.ptm);
  w.features.resize(n * components);
  palette_features(*w.ptm, 0, n, components, w.features.data());
  const int mode = components == 6 ? palette_mode_luminance : palette_mode_color;
  LcgRandom random;
  w.tables[0].resize(palette_entries * components);
  for (std::int32_t& value : w.tables[0]) value = static_cast<std::int32_t>(random.fraction() * 255.0f);
  Palette palette;
  std::FILE* null = std::fopen("/dev/null", "w");
  {
    RedirectedStdout quiet(null);
    LcgRandom fresh;
    cluster_palette(*w.ptm, mode, fresh, palette);
  }
  std::fclose(null);
  w.tables[1] = palette.table;
  return w;
}

double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Processor seconds per pass of the reference, per (map, D, table).
std::map<std::tuple<int, int, int>, double> naive_seconds;

void BM_Assignment(benchmark::State& state) {
  const int map = static_cast<int>(state.range(0));
  const int components = static_cast<int>(state.range(1));
  const int table = static_cast<int>(state.range(2));
  const auto isa = static_cast<NearestIsa>(state.range(3));
  if (!nearest_isa_available(isa)) {
    state.SkipWithError("not available on this processor");
    return;
  }
  const Workload& w = workload(map, components);
  const std::size_t n = pixel_count(*w.ptm);
  std::vector<std::int16_t> indices(n);
  double wall = 0, processor = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double processor_start = thread_seconds();
    // Preparing the table is part of every pass.
    const NearestEntrySearch search(w.tables[table].data(), components, isa);
    search.assign(w.features.data(), n, indices.data());
    benchmark::ClobberMemory();
    processor += thread_seconds() - processor_start;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double passes = static_cast<double>(state.iterations());
  const double differences = static_cast<double>(n) * palette_entries * components;
  state.counters["sqdiff/s"] = benchmark::Counter(differences * passes / wall);
  state.counters["sqdiff/s_cpu"] = benchmark::Counter(differences * passes / processor);
  const auto key = std::make_tuple(map, components, table);
  if (isa == NearestIsa::naive) naive_seconds[key] = processor / passes;
  if (naive_seconds.count(key) != 0) {
    state.counters["x_naive"] = benchmark::Counter(naive_seconds[key] / (processor / passes));
  }
  state.SetLabel(std::string(map_names[map]) + " D=" + std::to_string(components) + " " +
                 table_names[table] + " " + isa_names[state.range(3)]);
}

// The whole 'p' command on a 4096 x 4096 map with the fastest path.
void BM_PalettizeWhole(benchmark::State& state) {
  const int map_side = static_cast<int>(state.range(0));
  Ptm* ptm = make_smooth_lrgb_map(map_side);
  std::FILE* null = std::fopen("/dev/null", "w");
  double processor = 0;
  for (auto _ : state) {
    RedirectedStdout quiet(null);
    const double start = thread_seconds();
    LcgRandom random;
    Palette palette;
    cluster_palette(*ptm, palette_mode_luminance, random, palette);
    benchmark::DoNotOptimize(palette.table.data());
    processor += thread_seconds() - start;
  }
  std::fclose(null);
  state.counters["cpu_s"] = benchmark::Counter(processor / static_cast<double>(state.iterations()));
  state.SetLabel(std::to_string(map_side) + " x " + std::to_string(map_side) + " 'p', " +
                 isa_names[static_cast<int>(best_nearest_isa())]);
  free_ptm(ptm);
}

}  // namespace

// The reference first for each map, D and table, so that the fast paths can
// report their speed-up over it.
BENCHMARK(BM_Assignment)
    ->ArgsProduct({{0, 1}, {6, 9}, {0, 1}, {0, 1, 2, 3, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK(BM_PalettizeWhole)
    ->Arg(4096)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
