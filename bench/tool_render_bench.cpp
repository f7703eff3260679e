// relumo-tool render of a 4096 x 4096 LRGB map to PNG, in its three stages:
// loading the file, relighting (the screenshot's sum of lights), and
// encoding the PNG; beside them the bare relighting kernel and the memory
// bandwidth of the same run, which bound what the render stage can reach.
// The render and the whole command run on 1 and on 2 threads (the
// argument), so that the speed-up and the share of the bandwidth bound
// ("of_bound") come from the same run; the context names the cores.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/parallel.h"
#include "imageio/png_image.h"
#include "ptm/reader.h"
#include "render/relit_picture.h"
#include "render/render_image.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"
#include "support/smooth_map.h"
#include "writers/ptm_writer.h"

namespace {

constexpr int side = 4096;
constexpr double pixels = static_cast<double>(side) * side;

double read_bandwidth = 0;  // bytes per second

// Files in memory where the system has it, so that the disk is not timed.
std::string scratch_file(const char* name) {
  static const std::string folder = [] {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string path = base + "/relumo-tool-render-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder + "/" + name;
}

// The input: the smooth fitted-looking map, written once as an
// uncompressed LRGB file.
const std::string& map_file() {
  static const std::string path = [] {
    const std::string file = scratch_file("map.ptm");
    Ptm* map = make_smooth_lrgb_map(side);
    std::FILE* null = std::fopen("/dev/null", "w");
    {
      RedirectedStdout quiet(null);
      write_ptm_region(*map, file.c_str(), 0, 0, side, side);
    }
    std::fclose(null);
    free_ptm(map);
    return file;
  }();
  return path;
}

Ptm* load_quietly(const std::string& path,
                  CoefRepresentation representation = preferred_representation(), int threads = 1) {
  std::FILE* null = std::fopen("/dev/null", "w");
  Ptm* map = nullptr;
  {
    RedirectedStdout quiet(null);
    map = read_ptm_file(path.c_str(), representation, threads);
  }
  std::fclose(null);
  return map;
}

Ptm& loaded_map() {
  static Ptm* map = load_quietly(map_file());
  return *map;
}

RelitSettings one_light() {
  RelitSettings settings = default_relit_settings();
  settings.lights = {{0.3f, -0.4f, 1}};
  return settings;
}

void report(benchmark::State& state, double bytes_per_pixel) {
  const double done = pixels * static_cast<double>(state.iterations());
  state.counters["Mpixels/s"] = benchmark::Counter(done / 1e6, benchmark::Counter::kIsRate);
  if (bytes_per_pixel > 0) {
    state.counters["of_bound"] =
        benchmark::Counter(done * bytes_per_pixel / read_bandwidth, benchmark::Counter::kIsRate);
  }
}

void BM_Load(benchmark::State& state) {
  const std::string& path = map_file();
  for (auto _ : state) {
    Ptm* map = load_quietly(path);
    if (map == nullptr) state.SkipWithError("map not loaded");
    free_ptm(map);
  }
  // The file's 9 bytes per pixel read, the 16-byte packed record written.
  report(state, 9 + 16);
}

// The render stage: one light through the screenshot's sum, which renders
// a first light of intensity 1 straight into the picture, on state.range(0)
// threads.
void BM_Render(benchmark::State& state) {
  Ptm& map = loaded_map();
  RelitSettings settings = one_light();
  settings.threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    RgbImage* picture = render_relit_picture(map, settings);
    benchmark::DoNotOptimize(picture->pixels);
    free_rgb_image(picture);
  }
  // The packed record read, the picture written.
  report(state, 16 + 3);
}

// The relighting kernel alone, as the views call it, into a kept picture.
void BM_RelightKernel(benchmark::State& state) {
  Ptm& map = loaded_map();
  RgbImage* picture = new_rgb_image(side, side);
  for (auto _ : state) {
    render_plain_image(*picture, map, 0.3f, -0.4f, 0, 0);
    benchmark::ClobberMemory();
  }
  free_rgb_image(picture);
  report(state, 16 + 3);
}

void BM_EncodePng(benchmark::State& state) {
  RgbImage* picture = render_relit_picture(loaded_map(), one_light());
  const std::string path = scratch_file("out.png");
  for (auto _ : state) {
    if (!write_png_rgb(*picture, path.c_str())) state.SkipWithError("PNG not written");
  }
  state.counters["png_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  report(state, 0);
  free_rgb_image(picture);
}

// The whole command after argument parsing, as relumo-tool render makes it
// on state.range(0) threads: the stored bytes loaded, then rendered and
// written a band of rows at a time.
void BM_LoadRenderWritePng(benchmark::State& state) {
  const std::string& input = map_file();
  const std::string output = scratch_file("whole.png");
  RelitSettings settings = one_light();
  settings.threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    Ptm* map = load_quietly(input, CoefRepresentation::stored, settings.threads);
    if (!write_relit_picture(*map, settings, PictureFormat::png, output.c_str())) {
      state.SkipWithError("picture not written");
    }
    free_ptm(map);
  }
  report(state, 0);
}

}  // namespace

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(BM_Render)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(BM_RelightKernel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1);
BENCHMARK(BM_LoadRenderWritePng)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  read_bandwidth = report_read_bandwidth();
  benchmark::AddCustomContext("cores", std::to_string(available_cores()));
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(std::filesystem::path(map_file()).parent_path());
  return 0;
}
