// The timed loop the loading benchmarks share: the map at a path read in
// the representation given by the benchmark's argument (0 packed, 1 wide),
// with the reader's messages silenced.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "ptm/reader.h"
#include "support/redirected_stdout.h"

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

// Registers a loading benchmark for both representations.
inline void both_representations(benchmark::internal::Benchmark* b) {
  b->Arg(static_cast<int>(CoefRepresentation::packed))
      ->Arg(static_cast<int>(CoefRepresentation::wide))
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}
