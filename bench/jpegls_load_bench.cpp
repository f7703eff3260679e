// Loading a 2048 x 2048 JPEG-LS LRGB map written losslessly against CharLS
// decoding its nine planes alone: the map's own codec and everything the
// loader adds (reading the file, reconstruction, interleaving and
// coefficient conversion) against an independent JPEG-LS decoder. The
// context gives the file's size next to the uncompressed version 1.2 file
// of the same map.
#include <benchmark/benchmark.h>
#include <charls/charls.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ptm/compressed_header.h"
#include "ptm/reader.h"
#include "support/map_loads.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"
#include "support/smooth_map.h"
#include "writers/compressed_ptm_writer.h"
#include "writers/ptm_writer.h"

namespace {

constexpr int side = 2048;

std::string temporary_path(const char* name) {
  return std::filesystem::temp_directory_path().string() + "/relumo-bench-" +
         std::to_string(getpid()) + "-" + name;
}

// The map as a lossless JPEG-LS file of I-planes, and as the uncompressed
// file for the size comparison.
struct MapFiles {
  MapFiles() {
    Ptm* ptm = make_smooth_lrgb_map(side);
    CompressedPtmOptions options;
    options.compression_type = compression_jpegls;
    write_compressed_ptm(*ptm, jpegls.c_str(), options);
    write_ptm_region(*ptm, uncompressed.c_str(), 0, 0, side, side);
    free_ptm(ptm);
  }
  ~MapFiles() {
    std::filesystem::remove(jpegls);
    std::filesystem::remove(uncompressed);
  }
  std::string jpegls = temporary_path("jpegls-lrgb.ptm");
  std::string uncompressed = temporary_path("lrgb.ptm");
};

const MapFiles& map_files() {
  static const MapFiles files;
  return files;
}

// CharLS alone: the nine stored streams, already in memory, decoded into
// one warm plane.
struct StoredStreams {
  StoredStreams() { read_compressed_header(map_files().jpegls.c_str(), header); }
  ~StoredStreams() { free_compressed_header(header); }
  void decode_all(std::uint8_t* plane, std::size_t plane_bytes) const {
    for (int k = 0; k < header.num_planes; ++k) {
      charls_jpegls_decoder* decoder = charls_jpegls_decoder_create();
      if (charls_jpegls_decoder_set_source_buffer(decoder, header.plane_data[k],
                                                  static_cast<std::size_t>(header.size[k])) !=
              charls::jpegls_errc::success ||
          charls_jpegls_decoder_read_header(decoder) != charls::jpegls_errc::success) {
        std::fprintf(stderr, "CharLS cannot read plane %d of the benchmark map\n", k);
        std::abort();
      }
      benchmark::DoNotOptimize(
          charls_jpegls_decoder_decode_to_buffer(decoder, plane, plane_bytes, 0));
      charls_jpegls_decoder_destroy(decoder);
    }
    benchmark::ClobberMemory();
  }
  CompressedPtmHeader header{};
};

void BM_CharlsDecodesNinePlanes(benchmark::State& state) {
  const StoredStreams streams;
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(side) * side);
  for (auto _ : state) streams.decode_all(plane.data(), plane.size());
}

// Both in the same iteration, one right after the other, so that a busy
// machine slows them alike: the counters give each one's mean time and
// their ratio.
void BM_LoadAgainstCharls(benchmark::State& state) {
  const auto representation = static_cast<CoefRepresentation>(state.range(0));
  const StoredStreams streams;
  std::vector<std::uint8_t> plane(static_cast<std::size_t>(side) * side);
  std::FILE* null = std::fopen("/dev/null", "w");
  double charls_seconds = 0;
  double load_seconds = 0;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    const auto start = Clock::now();
    streams.decode_all(plane.data(), plane.size());
    const auto decoded = Clock::now();
    {
      RedirectedStdout quiet(null);
      Ptm* ptm = read_ptm_file(map_files().jpegls.c_str(), representation);
      benchmark::DoNotOptimize(ptm);
      if (ptm == nullptr) state.SkipWithError("map not loaded");
      free_ptm(ptm);
    }
    charls_seconds += std::chrono::duration<double>(decoded - start).count();
    load_seconds += std::chrono::duration<double>(Clock::now() - decoded).count();
  }
  std::fclose(null);
  const double n = static_cast<double>(state.iterations());
  state.counters["charls_ms"] = 1000 * charls_seconds / n;
  state.counters["load_ms"] = 1000 * load_seconds / n;
  state.counters["load_over_charls"] = load_seconds / charls_seconds;
}

void BM_LoadJpegLsLrgbMap(benchmark::State& state) {
  load_map_repeatedly(state, map_files().jpegls);
}

void BM_LoadUncompressedLrgbMap(benchmark::State& state) {
  load_map_repeatedly(state, map_files().uncompressed);
}

}  // namespace

BENCHMARK(BM_CharlsDecodesNinePlanes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadJpegLsLrgbMap)->Apply(both_representations);
BENCHMARK(BM_LoadUncompressedLrgbMap)->Apply(both_representations);
BENCHMARK(BM_LoadAgainstCharls)->Apply(both_representations);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const MapFiles& files = map_files();
  const auto jpegls_bytes = std::filesystem::file_size(files.jpegls);
  const auto uncompressed_bytes = std::filesystem::file_size(files.uncompressed);
  benchmark::AddCustomContext("jpegls_file_bytes", std::to_string(jpegls_bytes));
  benchmark::AddCustomContext("uncompressed_v1.2_file_bytes", std::to_string(uncompressed_bytes));
  benchmark::AddCustomContext(
      "jpegls_over_uncompressed",
      std::to_string(static_cast<double>(jpegls_bytes) / static_cast<double>(uncompressed_bytes)));
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
