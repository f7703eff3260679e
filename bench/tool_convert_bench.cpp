// relumo-tool convert of a 4096 x 4096 LRGB map to lossless JPEG-LS: the
// whole command (read the uncompressed file, code the nine planes, write),
// and the conversion of the map already in memory. The context gives the
// file sizes: the uncompressed version 1.2 file against the JPEG-LS file,
// for the synthetic relief at 4096 x 4096, for the smooth-wave map with
// noise the loading benchmarks use, and for the build's sample map. The
// command and the conversion of the relief run on 1 and on 2 threads (the
// argument), for the speed-up in one run; the context names the cores.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/parallel.h"
#include "ptm/reader.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"
#include "support/relief_map.h"
#include "support/smooth_map.h"
#include "tool/commands.h"
#include "writers/format_conversion.h"
#include "writers/ptm_writer.h"

namespace {

constexpr int side = 4096;

std::string temporary_path(const std::string& name) {
  return std::filesystem::temp_directory_path().string() + "/relumo-bench-" +
         std::to_string(getpid()) + "-" + name;
}

// The relief map in memory and as an uncompressed file.
struct ReliefMap {
  ReliefMap() : map(make_relief_lrgb_map(side, side)) {
    std::FILE* null = std::fopen("/dev/null", "w");
    RedirectedStdout quiet(null);
    write_ptm_region(*map, uncompressed.c_str(), 0, 0, side, side);
    std::fclose(null);
  }
  ~ReliefMap() { std::filesystem::remove(uncompressed); }
  OwnedPtm map;
  std::string uncompressed = temporary_path("relief-lrgb.ptm");
};

const ReliefMap& relief() {
  static const ReliefMap map;
  return map;
}

ConversionOptions lossless_jpegls(int threads) {
  ConversionOptions options;
  options.format = PTM_FORMAT_JPEGLS_LRGB;
  options.threads = threads;
  return options;
}

// Sizes and the counters every case reports: the file written against the
// uncompressed one, and the map's stored bytes per second.
void report_sizes(benchmark::State& state, const std::string& uncompressed,
                  const std::string& written) {
  const double uncompressed_bytes = static_cast<double>(std::filesystem::file_size(uncompressed));
  const double written_bytes = static_cast<double>(std::filesystem::file_size(written));
  state.counters["uncompressed_bytes"] = uncompressed_bytes;
  state.counters["jpegls_bytes"] = written_bytes;
  state.counters["jpegls_over_uncompressed"] = written_bytes / uncompressed_bytes;
  state.counters["uncompressed_bytes_per_second"] = benchmark::Counter(
      uncompressed_bytes, benchmark::Counter::kIsIterationInvariantRate);
}

// The command as a user runs it, in this process: argument parsing, the
// reader, the conversion and the writer, messages silenced, on
// state.range(0) threads.
void BM_ConvertCommandToLosslessJpegls(benchmark::State& state) {
  const std::string& input = relief().uncompressed;
  const std::string output = temporary_path("relief-jpegls.ptm");
  std::vector<std::string> texts = {
      "relumo-tool", "convert",     input,     "-o",        output,
      "--format",    "jpegls-lrgb", "--quiet", "--threads", std::to_string(state.range(0))};
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  std::FILE* null = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    RedirectedStdout quiet(null);
    ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 2);
    if (run_convert(arguments) != 0) state.SkipWithError("convert failed");
  }
  std::fclose(null);
  report_sizes(state, input, output);
  std::filesystem::remove(output);
}

// The conversion alone: the map in memory to the JPEG-LS file.
void convert_in_memory(benchmark::State& state, const Ptm& map, const std::string& uncompressed,
                       const std::string& name, int threads = 1) {
  const std::string output = temporary_path(name + "-jpegls.ptm");
  std::FILE* null = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    RedirectedStdout quiet(null);
    ConversionReport report;
    if (!write_converted_ptm(map, lossless_jpegls(threads), output.c_str(), report)) {
      state.SkipWithError("conversion failed");
    }
  }
  std::fclose(null);
  report_sizes(state, uncompressed, output);
  std::filesystem::remove(output);
}

void BM_ConvertReliefInMemory(benchmark::State& state) {
  convert_in_memory(state, *relief().map, relief().uncompressed, "relief",
                    static_cast<int>(state.range(0)));
}

void BM_ConvertSmoothWavesInMemory(benchmark::State& state) {
  const OwnedPtm map(make_smooth_lrgb_map(side));
  const std::string uncompressed = temporary_path("waves-lrgb.ptm");
  {
    std::FILE* null = std::fopen("/dev/null", "w");
    RedirectedStdout quiet(null);
    write_ptm_region(*map, uncompressed.c_str(), 0, 0, side, side);
    std::fclose(null);
  }
  convert_in_memory(state, *map, uncompressed, "waves");
  std::filesystem::remove(uncompressed);
}

void BM_ConvertSampleMap(benchmark::State& state) {
  std::FILE* null = std::fopen("/dev/null", "w");
  OwnedPtm map;
  {
    RedirectedStdout quiet(null);
    map.reset(read_ptm_file(RELUMO_SAMPLE_MAP));
  }
  std::fclose(null);
  if (!map) {
    state.SkipWithError("no sample map");
    return;
  }
  convert_in_memory(state, *map, RELUMO_SAMPLE_MAP, "sample");
}

BENCHMARK(BM_ConvertCommandToLosslessJpegls)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ConvertReliefInMemory)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertSmoothWavesInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertSampleMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::AddCustomContext("cores", std::to_string(available_cores()));
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
