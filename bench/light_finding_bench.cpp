// Reading light directions from spheres, as "relumo-tool lights" does.
//
// Accuracy: captures rendered here (glossy black spheres of radius 100,
// 200 and 300 pixels beside a textured object with white areas, sensor
// noise, JPEG at quality 92) lit from 40 directions between 10 and 85
// degrees of elevation; the directions found are compared with the ones
// rendered, with the circles given exactly and found by the program, with
// two spheres, and through a perspective camera. The error against
// elevation is printed as a table.
//
// Speed: 60 JPEG photographs of 6000 x 4000 with a sphere of radius 200
// in the bottom left corner (the rows above it are still entropy-decoded:
// a JPEG's rows have no index), the circle given and found, against
// decoding the same photographs whole (libjpeg, RGB) on the same threads.
// The process's CPU time over all threads is a counter beside the wall
// time: on a shared machine it is the steadier figure.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/capture_lights.h"
#include "analysis/synthetic_sphere_capture.h"
#include "common/parallel.h"
#include "imageio/jpeg_photograph.h"
#include "support/files.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"

namespace {

constexpr double degrees_per_radian = 180 / std::numbers::pi;
constexpr int accuracy_lights = 40;
constexpr int jpeg_quality = 92;

const std::string& scratch_folder() {
  static const std::string folder = make_temp_directory("light-finding-bench");
  return folder;
}

struct Capture {
  std::vector<std::string> paths;
  std::vector<Vector3> lights;
  std::vector<Circle> circles;
};

// Renders a capture into its own folder under the scratch folder.
Capture render_capture(const std::string& label, const SphereCaptureScene& scene,
                       const std::vector<Vector3>& lights) {
  Capture capture;
  const std::string folder = scratch_folder() + "/" + label;
  std::filesystem::create_directories(folder);
  const SphereCaptureStage stage = prepare_sphere_capture(scene, available_cores());
  std::vector<SceneShot> shots;
  for (std::size_t i = 0; i < lights.size(); ++i) {
    SceneShot shot;
    shot.light = lights[i];
    shot.seed = static_cast<std::uint32_t>(i + 1);
    shots.push_back(shot);
  }
  write_sphere_capture(stage, shots, folder, jpeg_quality, available_cores(), capture.paths);
  capture.lights = lights;
  capture.circles = stage.outlines;
  return capture;
}

// The scene at a sphere radius: the picture about 11 radii wide.
SphereCaptureScene accuracy_scene(double radius, int spheres, double focal_px) {
  const int width = std::max(1600, static_cast<int>(11 * radius));
  const int height = width * 2 / 3;
  SphereCaptureScene scene = sphere_capture_layout(width, height, radius, spheres);
  scene.focal_px = focal_px;
  return scene;
}

// Elevation bands of the table.
constexpr double band_edges[] = {10, 15, 30, 45, 60, 75, 86};
constexpr int band_count = 6;

struct Errors {
  double sum = 0;  // over lights at 15 degrees and above
  int count = 0;
  double max = 0;      // at 15 degrees and above
  double max_low = 0;  // below 15 degrees
  double band_max[band_count] = {};
  double band_sum[band_count] = {};
  int band_count_of[band_count] = {};
  int missing = 0;
  double spread_max = 0;
};

Errors measure(const Capture& capture, const CaptureLights& found) {
  Errors e;
  for (std::size_t i = 0; i < capture.lights.size(); ++i) {
    const PhotographLight& p = found.photographs[i];
    if (p.status != LightStatus::ok) {
      ++e.missing;
      continue;
    }
    const double error = angle_between(p.direction, capture.lights[i]) * degrees_per_radian;
    const double elevation = elevation_degrees(capture.lights[i]);
    e.spread_max = std::max(e.spread_max, p.spread_degrees);
    if (elevation >= 15) {
      e.sum += error, ++e.count, e.max = std::max(e.max, error);
    } else {
      e.max_low = std::max(e.max_low, error);
    }
    for (int b = 0; b < band_count; ++b) {
      if (elevation >= band_edges[b] && elevation < band_edges[b + 1]) {
        e.band_max[b] = std::max(e.band_max[b], error);
        e.band_sum[b] += error;
        ++e.band_count_of[b];
      }
    }
  }
  return e;
}

void print_table(const std::string& label, const Errors& e) {
  std::fprintf(stderr, "%s: error against elevation, degrees (mean / max)\n", label.c_str());
  for (int b = 0; b < band_count; ++b) {
    if (e.band_count_of[b] == 0) continue;
    std::fprintf(stderr, "  %2.0f-%2.0f: %.3f / %.3f  (%d lights)\n", band_edges[b],
                 band_edges[b + 1] - (b == band_count - 1 ? 1 : 0),
                 e.band_sum[b] / e.band_count_of[b], e.band_max[b], e.band_count_of[b]);
  }
}

enum Mode { given = 0, found_here = 1, two_spheres = 2, perspective = 3 };

void BM_LightAccuracy(benchmark::State& state) {
  const double radius = static_cast<double>(state.range(0));
  const Mode mode = static_cast<Mode>(state.range(1));
  // A 35 mm lens on a full-frame camera photographing a 6000-pixel-wide
  // picture: about 1.5 picture widths.
  const SphereCaptureScene probe = accuracy_scene(radius, 1, 0);
  const double focal = mode == perspective ? 1.5 * probe.width : 0;
  const SphereCaptureScene scene = accuracy_scene(radius, mode == two_spheres ? 2 : 1, focal);
  char label[32];
  std::snprintf(label, sizeof label, "r%d_m%d", static_cast<int>(radius), static_cast<int>(mode));
  const Capture capture =
      render_capture(label, scene, dome_light_directions(accuracy_lights, 10, 85));
  CaptureLightsOptions options;
  options.threads = available_cores();
  options.focal_px = focal;
  if (mode != found_here && mode != two_spheres) options.spheres = capture.circles;
  CaptureLights found;
  for (auto _ : state) {
    RedirectedStdout quiet(stderr);
    if (!find_capture_lights(capture.paths, options, found)) {
      state.SkipWithError("no lights found");
      return;
    }
  }
  const Errors e = measure(capture, found);
  state.counters["mean_deg_15up"] = e.count > 0 ? e.sum / e.count : 0;
  state.counters["max_deg_15up"] = e.max;
  state.counters["max_deg_10_15"] = e.max_low;
  state.counters["missing"] = e.missing;
  if (found.spheres.size() == capture.circles.size()) {
    double circle_error = 0;
    // Each found circle against the rendered one nearest it.
    for (const Circle& a : found.spheres) {
      double nearest = INFINITY;
      for (const Circle& b : capture.circles) {
        nearest = std::min(
            nearest, std::max(std::hypot(a.x - b.x, a.y - b.y), std::abs(a.radius - b.radius)));
      }
      circle_error = std::max(circle_error, nearest);
    }
    state.counters["circle_px"] = circle_error;
  }
  if (mode == two_spheres) state.counters["spread_max_deg"] = e.spread_max;
  print_table(label, e);
}

// ---- speed ----

double process_cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Runs `work` once per iteration and adds the CPU seconds of all threads
// per iteration as a counter.
template <typename Work>
void timed(benchmark::State& state, Work work) {
  const double start = process_cpu_seconds();
  for (auto _ : state) work();
  state.counters["process_cpu_s"] =
      (process_cpu_seconds() - start) / static_cast<double>(state.iterations());
}

constexpr int speed_photographs = 60;
constexpr int speed_width = 6000;
constexpr int speed_height = 4000;
constexpr double speed_radius = 200;

const Capture& speed_capture() {
  static const Capture capture = [] {
    const SphereCaptureScene scene =
        sphere_capture_layout(speed_width, speed_height, speed_radius, 1);
    return render_capture("speed", scene, dome_light_directions(speed_photographs, 15, 80));
  }();
  return capture;
}

void BM_LightsCircleGiven(benchmark::State& state) {
  const Capture& capture = speed_capture();
  CaptureLightsOptions options;
  options.threads = static_cast<int>(state.range(0));
  options.spheres = capture.circles;
  timed(state, [&] {
    CaptureLights found;
    if (!find_capture_lights(capture.paths, options, found)) state.SkipWithError("failed");
  });
  state.counters["photographs"] = speed_photographs;
}

void BM_LightsCircleFound(benchmark::State& state) {
  const Capture& capture = speed_capture();
  CaptureLightsOptions options;
  options.threads = static_cast<int>(state.range(0));
  timed(state, [&] {
    CaptureLights found;
    RedirectedStdout quiet(stderr);
    if (!find_capture_lights(capture.paths, options, found)) state.SkipWithError("failed");
  });
  state.counters["photographs"] = speed_photographs;
}

// The same photographs decoded whole, RGB, as the photograph reader does.
void BM_FullDecode(benchmark::State& state) {
  const Capture& capture = speed_capture();
  timed(state, [&] {
    parallel_blocks(static_cast<int>(state.range(0)), speed_photographs, 1,
                    [&](std::int64_t begin, std::int64_t end) {
                      for (std::int64_t i = begin; i < end; ++i) {
                        RgbImage* image = read_jpeg_photograph(capture.paths[i].c_str());
                        benchmark::DoNotOptimize(image);
                        free_rgb_image(image);
                      }
                    });
  });
  state.counters["photographs"] = speed_photographs;
  std::uintmax_t bytes = 0;
  for (const std::string& path : capture.paths) bytes += std::filesystem::file_size(path);
  state.counters["jpeg_MB"] = static_cast<double>(bytes) / 1e6;
}

void accuracy_cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"radius", "mode"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
  for (int radius : {100, 200, 300}) {
    for (int mode : {given, found_here, two_spheres, perspective}) b->Args({radius, mode});
  }
}

void thread_counts(benchmark::internal::Benchmark* b) {
  b->ArgName("threads")
      ->Arg(1)
      ->Arg(available_cores())
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(3);
}

}  // namespace

BENCHMARK(BM_LightAccuracy)->Apply(accuracy_cases);
BENCHMARK(BM_LightsCircleGiven)->Apply(thread_counts);
BENCHMARK(BM_LightsCircleFound)->Apply(thread_counts);
BENCHMARK(BM_FullDecode)->Apply(thread_counts);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(scratch_folder());
  return 0;
}
