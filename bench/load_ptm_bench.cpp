// Loading a large LRGB map against reading its bytes: the loader converts
// while it reads, so it should cost little more than the read itself.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/checked_alloc.h"
#include "ptm/reader.h"
#include "support/map_loads.h"
#include "support/ptm_fixture.h"

namespace {

constexpr int side = 4096;

const std::string& map_path() {
  static const std::string path = [] {
    const std::string p = std::filesystem::temp_directory_path().string() + "/relumo-bench-" +
                          std::to_string(getpid()) + "-lrgb.ptm";
    PtmFixture f = random_ptm_fixture(2, 2, side, side, 1);
    f.scale_line = "1.5 1.5 1.5 1.5 1.5 1.5\n";
    f.bias_line = "128 128 128 128 128 0\n";
    write_file_bytes(p, ptm_fixture_bytes(f));
    return p;
  }();
  return path;
}

std::size_t file_size() { return std::filesystem::file_size(map_path()); }

// The baseline: the file's bytes into freshly allocated memory, as any
// program that reads the file must do.
void BM_ReadFileBytes(benchmark::State& state) {
  const std::size_t size = file_size();
  for (auto _ : state) {
    std::FILE* file = std::fopen(map_path().c_str(), "rb");
    auto* bytes = static_cast<std::uint8_t*>(checked_alloc(size));
    benchmark::DoNotOptimize(std::fread(bytes, 1, size, file));
    benchmark::ClobberMemory();
    std::fclose(file);
    checked_free(bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void BM_FillFreshMapArrays(benchmark::State& state) { fill_fresh_lrgb_maps(state, side); }

void BM_LoadLrgbMap(benchmark::State& state) {
  load_map_repeatedly(state, map_path());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file_size()));
}

}  // namespace

BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillFreshMapArrays)->Apply(both_representations);
BENCHMARK(BM_LoadLrgbMap)->Apply(both_representations);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  map_path();
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove(map_path());
  return 0;
}
