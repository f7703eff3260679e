// relumo-tool web of a 4096 x 4096 LRGB map: the whole folder (the IIIF
// picture service and the four planes' Deep Zoom pyramids) on one thread
// and on every core, with the tiles per second and the peak resident
// memory; and its two costs apart, the normals of the map (computed per
// pixel as the normals plane is filled) and the coding of a coefficient
// plane's tiles. The folder goes to /dev/shm where there is one, so that
// the disk is not timed.
//
//   build/bench/web_publish_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/parallel.h"
#include "ptm/reader.h"
#include "support/redirected_stdout.h"
#include "support/smooth_map.h"
#include "web/deep_zoom.h"
#include "web/iiif_level0.h"
#include "web/publish.h"
#include "web/published_map.h"
#include "web/tile_pyramid.h"
#include "writers/ptm_writer.h"

namespace {

constexpr int side = 4096;
constexpr double pixels = static_cast<double>(side) * side;

std::string scratch(const char* name) {
  static const std::string folder = [] {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string path = base + "/relumo-web-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder + "/" + name;
}

// The smooth fitted-looking map, written as an LRGB file and read back as
// the tool reads it (the packed representation).
Ptm& loaded_map() {
  static Ptm* map = [] {
    const std::string file = scratch("map.ptm");
    Ptm* made = make_smooth_lrgb_map(side);
    std::FILE* null = std::fopen("/dev/null", "w");
    Ptm* read = nullptr;
    {
      RedirectedStdout quiet(null);
      write_ptm_region(*made, file.c_str(), 0, 0, side, side);
      read = read_ptm_file(file.c_str());
    }
    std::fclose(null);
    free_ptm(made);
    std::filesystem::remove(file);
    return read;
  }();
  return *map;
}

// Processor time of every thread of the process so far.
double process_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double peak_resident_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

double folder_mb(const std::string& folder) {
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) bytes += entry.file_size();
  }
  return static_cast<double>(bytes) / 1e6;
}

std::int64_t site_tiles(const Ptm& map, const WebPublishOptions& options) {
  const PyramidPlan planes{map.width, map.height, options.tile_size, 1,
                           deep_zoom_max_level(map.width, map.height) + 1, 1};
  const IiifLayout iiif = iiif_layout(map.width, map.height, iiif_tile_size);
  const PyramidPlan picture{map.width, map.height, iiif.tile_size, 0, iiif.levels, 1};
  return 4 * pyramid_tile_count(planes) + pyramid_tile_count(picture);
}

// The whole folder: argument 0 is the thread count (0: every core).
void BM_PublishFolder(benchmark::State& state) {
  Ptm& map = loaded_map();
  WebPublishOptions options;
  options.view = default_relit_settings();
  options.threads = state.range(0) > 0 ? static_cast<int>(state.range(0)) : available_cores();
  options.replace = true;
  const std::string folder = scratch("site");
  const double cpu_before = process_cpu_seconds();
  for (auto _ : state) {
    if (!publish_web_folder(map, options, folder.c_str())) state.SkipWithError("not published");
  }
  state.counters["process_CPU_s"] =
      (process_cpu_seconds() - cpu_before) / static_cast<double>(state.iterations());
  const double tiles = static_cast<double>(site_tiles(map, options));
  state.counters["threads"] = options.threads;
  state.counters["tiles"] = tiles;
  state.counters["tiles/s"] =
      benchmark::Counter(tiles * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["Mpixels/s"] =
      benchmark::Counter(pixels * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
  state.counters["site_MB"] = folder_mb(folder);
  state.counters["peak_RSS_MB"] = peak_resident_mb();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PublishFolder)->Arg(1)->Arg(0)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The rows of one plane as the pyramid reads them, on one thread:
// argument 0 the plane (0: coefficients a0..a2, a copy; 3: the normals,
// each computed from the pixel's luminance model).
void BM_FillPlaneRows(benchmark::State& state) {
  Ptm& map = loaded_map();
  const PublishedMap published = published_map_of(map, 1);
  const int plane = static_cast<int>(state.range(0));
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(side) * 64 * 3);
  for (auto _ : state) {
    for (int top = 0; top < side; top += 64) fill_plane_rows(published, plane, top, 64, rows.data());
    benchmark::ClobberMemory();
  }
  state.counters["Mpixels/s"] =
      benchmark::Counter(pixels * static_cast<double>(state.iterations()) / 1e6,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillPlaneRows)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
