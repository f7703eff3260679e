// Reading the relief of a 4096 x 4096 map with every core: the plain
// Poisson depth (the baseline, run here too), the depth without its plane,
// the fine relief (plane, then the depth minus its blur of sigma 10) and
// the curvature (sigma 1); a raking-light sheet of 8 renders of the map;
// and a 10-second 1080p light-sweep video, H.264 and VP9, in frames encoded
// per second. The map is the sample relief fitted as the build's sample
// map is.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "analysis/curvature_export.h"
#include "analysis/depth_export.h"
#include "common/checked_alloc.h"
#include "common/parallel.h"
#include "imageio/video_file.h"
#include "render/light_sweep_video.h"
#include "render/raking_sheet.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"
#include "support/relief_map.h"

namespace {

constexpr int side = 4096;

Ptm& relief_map() {
  static Ptm* map = make_relief_lrgb_map(side, side);
  return *map;
}

std::string scratch_file(const char* name) {
  static const std::string folder = [] {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string path = base + "/relumo-relief-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder + "/" + name;
}

void set_megapixel_rate(benchmark::State& state) {
  state.counters["MP/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * side * static_cast<double>(side) / 1e6,
      benchmark::Counter::kIsRate);
}

// The core prints a line per normal field it cannot place; the benchmarks
// keep standard output for their table.
template <typename Work>
void quietly(Work work) {
  std::FILE* null = std::fopen("/dev/null", "w");
  {
    RedirectedStdout quiet(null);
    work();
  }
  std::fclose(null);
}

void BM_Heights(benchmark::State& state, HeightTrend trend, double detail_sigma) {
  Ptm& map = relief_map();
  DepthSettings settings;
  settings.trend = trend;
  settings.detail_sigma = detail_sigma;
  settings.threads = available_cores();
  for (auto _ : state) {
    float* heights = nullptr;
    quietly([&] { heights = map_heights(map, settings, CameraParameters{}); });
    benchmark::DoNotOptimize(heights[side / 2]);
    checked_free(heights);
  }
  set_megapixel_rate(state);
}

void BM_Curvature(benchmark::State& state) {
  Ptm& map = relief_map();
  CurvatureSettings settings;
  settings.threads = available_cores();
  for (auto _ : state) {
    float* curvature = nullptr;
    quietly([&] { curvature = map_curvature(map, settings); });
    benchmark::DoNotOptimize(curvature[side / 2]);
    checked_free(curvature);
  }
  set_megapixel_rate(state);
}

void BM_Sheet(benchmark::State& state, bool write_file) {
  Ptm& map = relief_map();
  RakingSheet sheet;
  sheet.view = default_relit_settings();
  sheet.threads = available_cores();
  const std::string path = scratch_file("sheet.png");
  for (auto _ : state) {
    if (write_file) {
      write_raking_sheet(map, sheet, path.c_str(), PngNotes{});
    } else {
      RgbImage* picture = render_raking_sheet(map, sheet);
      benchmark::DoNotOptimize(picture->pixels[0]);
      free_rgb_image(picture);
    }
  }
  state.counters["panels/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * sheet.azimuth_count,
                         benchmark::Counter::kIsRate);
  if (write_file) {
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
  }
}

void BM_Video(benchmark::State& state, VideoContainer container) {
  Ptm& map = relief_map();
  LightSweep sweep;
  sweep.view = default_relit_settings();
  sweep.view.width = 1920;
  sweep.view.height = 1080;
  sweep.frames_per_second = 25;
  sweep.frame_count = 10 * sweep.frames_per_second;
  sweep.container = container;
  sweep.threads = available_cores();
  const std::string path = scratch_file(container == VideoContainer::mp4 ? "v.mp4" : "v.webm");
  for (auto _ : state) write_light_sweep_video(map, sweep, path.c_str());
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * sweep.frame_count,
                         benchmark::Counter::kIsRate);
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Heights, poisson_plain, HeightTrend::none, 0.0)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_Heights, poisson_plane, HeightTrend::plane, 0.0)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_Heights, poisson_plane_detail_sigma10, HeightTrend::plane, 10.0)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Curvature)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_Sheet, render_8_panels, false)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_CAPTURE(BM_Sheet, render_and_write_png, true)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_Video, h264_mp4_10s_1080p, VideoContainer::mp4)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_Video, vp9_webm_10s_1080p, VideoContainer::webm)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("threads", std::to_string(available_cores()));
  report_read_bandwidth();
  show_video_library_errors_only();
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
