// Loading a 2048 x 2048 JPEG-compressed LRGB map against libjpeg decoding
// its nine planes alone: everything the loader adds (reading the file,
// reconstruction, interleaving and coefficient conversion) should cost
// little next to the JPEG decoding.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ptm/compressed_header.h"
#include "ptm/jpeg_plane.h"
#include "ptm/reader.h"
#include "support/map_loads.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"
#include "support/smooth_map.h"
#include "writers/compressed_ptm_writer.h"

namespace {

constexpr int side = 2048;

// Smooth planes with a little noise, as fitted coefficients of a real
// surface look, stored at libjpeg's default quality as I-planes.
const std::string& map_path() {
  static const std::string path = [] {
    const std::string p = std::filesystem::temp_directory_path().string() + "/relumo-bench-" +
                          std::to_string(getpid()) + "-jpeg-lrgb.ptm";
    Ptm* ptm = make_smooth_lrgb_map(side);
    write_compressed_ptm(*ptm, p.c_str(), CompressedPtmOptions{});
    free_ptm(ptm);
    return p;
  }();
  return path;
}

// libjpeg alone: the nine stored streams, already in memory, decoded into
// one warm plane.
struct StoredStreams {
  StoredStreams() { read_compressed_header(map_path().c_str(), header); }
  ~StoredStreams() { free_compressed_header(header); }
  void decode_all(std::uint8_t* plane) const {
    for (int k = 0; k < header.num_planes; ++k) {
      benchmark::DoNotOptimize(
          decode_jpeg_plane(header.plane_data[k], header.size[k], plane, side, side));
    }
    benchmark::ClobberMemory();
  }
  CompressedPtmHeader header{};
};

void BM_LibjpegDecodesNinePlanes(benchmark::State& state) {
  const StoredStreams streams;
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(side) * side);
  for (auto _ : state) streams.decode_all(plane.data());
}

// Both in the same iteration, one right after the other, so that a busy
// machine slows them alike: the counters give each one's mean time and
// their ratio.
void BM_LoadAgainstLibjpeg(benchmark::State& state) {
  const auto representation = static_cast<CoefRepresentation>(state.range(0));
  const StoredStreams streams;
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(side) * side);
  std::FILE* null = std::fopen("/dev/null", "w");
  double libjpeg_seconds = 0;
  double load_seconds = 0;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    const auto start = Clock::now();
    streams.decode_all(plane.data());
    const auto decoded = Clock::now();
    {
      RedirectedStdout quiet(null);
      Ptm* ptm = read_ptm_file(map_path().c_str(), representation);
      benchmark::DoNotOptimize(ptm);
      free_ptm(ptm);
    }
    libjpeg_seconds += std::chrono::duration<double>(decoded - start).count();
    load_seconds += std::chrono::duration<double>(Clock::now() - decoded).count();
  }
  std::fclose(null);
  const double n = static_cast<double>(state.iterations());
  state.counters["libjpeg_ms"] = 1000 * libjpeg_seconds / n;
  state.counters["load_ms"] = 1000 * load_seconds / n;
  state.counters["load_over_libjpeg"] = load_seconds / libjpeg_seconds;
}

// The floor under any loader of this map: filling its fresh arrays.
void BM_FillFreshMapArrays(benchmark::State& state) { fill_fresh_lrgb_maps(state, side); }

void BM_LoadJpegLrgbMap(benchmark::State& state) { load_map_repeatedly(state, map_path()); }

}  // namespace

BENCHMARK(BM_LibjpegDecodesNinePlanes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FillFreshMapArrays)->Apply(both_representations);
BENCHMARK(BM_LoadJpegLrgbMap)->Apply(both_representations);
BENCHMARK(BM_LoadAgainstLibjpeg)->Apply(both_representations);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  map_path();
  benchmark::AddCustomContext("map_file_bytes",
                              std::to_string(std::filesystem::file_size(map_path())));
  // The map's arrays are the part of a load that only memory limits.
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove(map_path());
  return 0;
}
