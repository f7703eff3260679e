// The timed loops the loading benchmarks share, in the representation
// given by the benchmark's argument (0 packed, 1 wide).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "ptm/reader.h"
#include "support/redirected_stdout.h"

// The map at `path` read with the reader's messages silenced.
inline void load_map_repeatedly(benchmark::State& state, const std::string& path) {
  const auto representation = static_cast<CoefRepresentation>(state.range(0));
  // The reader prints the path and the format line on every load.
  std::FILE* null = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    RedirectedStdout quiet(null);
    Ptm* ptm = read_ptm_file(path.c_str(), representation);
    benchmark::DoNotOptimize(ptm);
    if (ptm == nullptr) state.SkipWithError("map not loaded");
    free_ptm(ptm);
  }
  std::fclose(null);
}

// What any loader of a side x side LRGB map must at least do: fault in and
// fill the map's arrays once (fresh memory is zeroed by the kernel first).
inline void fill_fresh_lrgb_maps(benchmark::State& state, int side) {
  const auto representation = static_cast<CoefRepresentation>(state.range(0));
  for (auto _ : state) {
    Ptm* ptm = create_ptm(side, side, PTM_FORMAT_LRGB, representation);
    const std::size_t pixels = pixel_count(*ptm);
    std::memset(ptm->coef_planes[0], 1, pixels * 3);
    std::memset(ptm->coef_planes[1], 1, pixels * 3);
    if (ptm->packed_lrgb != nullptr) {
      std::memset(static_cast<void*>(ptm->packed_lrgb), 1, pixels * sizeof(PackedLrgbTexel));
    } else {
      std::memset(ptm->lum_coef_int, 1, pixels * 6 * sizeof(std::int32_t));
      for (auto* plane : ptm->color_planes) std::memset(plane, 1, pixels);
    }
    benchmark::ClobberMemory();
    free_ptm(ptm);
  }
}

// Registers a loading benchmark for both representations.
inline void both_representations(benchmark::internal::Benchmark* b) {
  b->Arg(static_cast<int>(CoefRepresentation::packed))
      ->Arg(static_cast<int>(CoefRepresentation::wide))
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}
