// Fitting a map to 48 camera-like JPEG photographs of 2048 x 2048 pixels,
// as "relumo-tool fit" does. The whole command, in this process, against
// the baseline of one thread and two passes (--threads 1 --report
// photographs): one pass on one and two threads and the default (every
// core), each with its speed-up over the baseline. Its parts: reading one
// photograph (the file from the page cache, decoded; also with an Adobe
// RGB profile to convert), summing one photograph on one and two threads,
// and the solve. From the parts, after the run: a projection of the
// default fit to 16 cores. The context gives the cores and the memory
// bandwidth measured in the same run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "analysis/photograph_fit.h"
#include "common/checked_alloc.h"
#include "common/parallel.h"
#include "imageio/colour_profile.h"
#include "imageio/photograph_file.h"
#include "support/files.h"
#include "support/icc_fixture.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"
#include "support/ridge_capture.h"
#include "tool/commands.h"

namespace {

constexpr int side = 2048;
constexpr int photograph_count = 48;

std::vector<LightDirection> capture_lights() { return ridge_capture_lights(photograph_count); }

Photograph render_photograph(const LightDirection& light) {
  return render_ridges(side, side, light, available_cores());
}

std::string camera_jpeg(const Photograph& image, const std::vector<std::string>& app2_payloads) {
  return ridge_jpeg(image, app2_payloads);
}

const std::string& scratch_folder() {
  static const std::string folder = make_temp_directory("tool-fit-bench");
  return folder;
}

// The capture as JPEG files and its light-position file, written once.
const std::string& capture_file() {
  static const std::string lp =
      write_ridge_capture(scratch_folder(), photograph_count, side, side, available_cores());
  return lp;
}

// Seconds per iteration of the cases the summary reads, by name.
std::map<std::string, double>& measured() {
  static std::map<std::string, double> seconds;
  return seconds;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One photograph as the fitter reads it: the file from the page cache,
// then decoded. The decoding alone of the fit.
void BM_ReadJpegPhotograph(benchmark::State& state) {
  const std::string path = scratch_folder() + "/shot0.jpg";
  capture_file();
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    Photograph photograph;
    read_photograph(path.c_str(), PhotographRequest{}, photograph);
    benchmark::DoNotOptimize(photograph.samples8.data());
    total += seconds_since(start);
  }
  measured()["decode"] = total / static_cast<double>(state.iterations());
  state.counters["jpeg_bytes"] = static_cast<double>(std::filesystem::file_size(path));
  state.SetItemsProcessed(state.iterations() * std::int64_t{side} * side);
}

// The same JPEG with an Adobe RGB profile, read as the fitter reads it:
// decoded, then converted to sRGB by LittleCMS.
void BM_DecodeAdobeRgbJpegPhotograph(benchmark::State& state) {
  const std::string bytes = camera_jpeg(render_photograph(capture_lights()[5]),
                                        icc_app2_payloads(adobe_rgb_profile_bytes(), 1));
  for (auto _ : state) {
    Photograph photograph;
    decode_photograph(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), "bench",
                      PhotographRequest{}, photograph);
    if (photograph.profile.empty()) state.SkipWithError("no conversion");
    benchmark::DoNotOptimize(photograph.samples8.data());
  }
}

// The conversion alone, at 8 and 16 bits.
void BM_ConvertAdobeRgbToSrgb(benchmark::State& state) {
  const std::string profile = adobe_rgb_profile_bytes();
  const Photograph rendered = render_photograph(capture_lights()[5]);
  Photograph photograph;
  allocate_photograph_samples(photograph, side, side, static_cast<int>(state.range(0)));
  for (std::size_t i = 0; i < rendered.samples8.size(); ++i) {
    if (state.range(0) == 16) {
      photograph.samples16[i] = static_cast<std::uint16_t>(rendered.samples8[i] * 257);
    } else {
      photograph.samples8[i] = rendered.samples8[i];
    }
  }
  std::string problem;
  for (auto _ : state) {
    if (!convert_to_srgb(reinterpret_cast<const std::uint8_t*>(profile.data()), profile.size(),
                         photograph, problem)) {
      state.SkipWithError(problem.c_str());
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t{side} * side);
}

FitLayout layout_of(const benchmark::State& state) {
  return state.range(0) == 0 ? FitLayout::lrgb : FitLayout::rgb;
}

// The sums, squares and colour sums of a pixel.
std::int64_t sum_bytes_per_pixel(FitLayout layout) {
  return layout == FitLayout::lrgb ? 6 * 4 + 4 * 4 + 4 : 18 * 4 + 3 * 4;
}

// Per layout (range 0), sample precision (range 1: 8 or 16 bits) and
// threads (range 2).
void BM_AccumulatePhotograph(benchmark::State& state) {
  const std::vector<LightDirection> lights = capture_lights();
  Photograph image = render_photograph(lights[7]);
  if (state.range(1) == 16) {
    Photograph wide;
    allocate_photograph_samples(wide, side, side, 16);
    for (std::size_t i = 0; i < image.samples8.size(); ++i) {
      wide.samples16[i] = static_cast<std::uint16_t>(image.samples8[i] * 256 + (i & 255));
    }
    image = std::move(wide);
  }
  const int threads = static_cast<int>(state.range(2));
  PhotographFit fit;
  begin_photograph_fit(lights.data(), photograph_count, side, side, layout_of(state), threads, fit);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    accumulate_photograph(fit, image, lights[7]);
    benchmark::ClobberMemory();
    total += seconds_since(start);
  }
  if (layout_of(state) == FitLayout::lrgb && state.range(1) == 8) {
    measured()["accumulate" + std::to_string(threads)] =
        total / static_cast<double>(state.iterations());
  }
  // Each pass reads the photograph and reads and writes every sum.
  const std::int64_t pixels = std::int64_t{side} * side;
  state.SetBytesProcessed(state.iterations() * pixels *
                          (3 * state.range(1) / 8 + 2 * sum_bytes_per_pixel(layout_of(state))));
  free_photograph_fit(fit);
}

// The solve with the residual, per layout (range 0) and threads (range 1).
void BM_Solve(benchmark::State& state) {
  const std::vector<LightDirection> lights = capture_lights();
  const Photograph image = render_photograph(lights[3]);
  PhotographFit fit;
  begin_photograph_fit(lights.data(), photograph_count, side, side, layout_of(state),
                       static_cast<int>(state.range(1)), fit);
  for (int i = 0; i < photograph_count; i += 8) accumulate_photograph(fit, image, lights[i]);
  const std::size_t vectors = std::size_t{side} * side * fitted_channels(layout_of(state));
  const std::vector<float> sums(fit.values, fit.values + 6 * vectors);
  const std::vector<float> squares(fit.squares, fit.squares + vectors);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(sums.begin(), sums.end(), fit.values);
    if (fit.squares == nullptr) fit.squares = static_cast<float*>(checked_alloc(vectors * 4));
    std::copy(squares.begin(), squares.end(), fit.squares);
    state.ResumeTiming();
    benchmark::DoNotOptimize(solve_photograph_fit(fit, nullptr));
    benchmark::ClobberMemory();
  }
  // Sums read and coefficients written, the squares read.
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(vectors) * (6 * 4 * 2 + 4));
  free_photograph_fit(fit);
}

// The command as a user runs it, in this process, its messages silenced:
// range 0 the threads (0: the default, every core), range 1 whether the
// second pass runs (--report photographs). The first case is the baseline
// of the speed-ups.
void BM_FitCommand(benchmark::State& state) {
  const std::string& lp = capture_file();
  const std::string out = scratch_folder() + "/fitted.ptm";
  std::vector<std::string> texts = {"relumo-tool", "fit", lp, "-o", out, "--quiet"};
  if (state.range(0) > 0) texts.insert(texts.end(), {"--threads", std::to_string(state.range(0))});
  if (state.range(1) == 1) texts.insert(texts.end(), {"--report", "photographs"});
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  std::FILE* null = std::fopen("/dev/null", "w");
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    RedirectedStdout quiet(null);
    const int saved_stderr = dup(2);
    dup2(fileno(null), 2);
    ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 2);
    const int status = run_fit(arguments);
    dup2(saved_stderr, 2);
    close(saved_stderr);
    if (status != 0) state.SkipWithError("fit failed");
    total += seconds_since(start);
  }
  std::fclose(null);
  const double seconds = total / static_cast<double>(state.iterations());
  const std::string name = state.range(1) == 1 ? "two passes, threads " : "one pass, threads ";
  measured()[name + std::to_string(state.range(0))] = seconds;
  const auto baseline = measured().find("two passes, threads 1");
  if (baseline != measured().end()) state.counters["speedup"] = baseline->second / seconds;
  state.counters["threads"] = state.range(0) > 0 ? static_cast<double>(state.range(0))
                                                 : available_cores();
  state.counters["photographs"] = photograph_count;
}

// The default fit on 16 cores, from this run's parts: the decoding of the
// photographs divides among the cores; the summing divides too but cannot
// go faster than memory streams the photograph and the sums (at the
// bandwidth one core reaches here, a floor a workstation's several memory
// channels lower); what remains of the one-pass fit on one thread (the
// headers, the solve, the map, the file) is taken not to divide at all.
void print_projection(double bandwidth) {
  const auto& m = measured();
  for (const char* part : {"decode", "accumulate1", "one pass, threads 1"}) {
    if (m.find(part) == m.end()) return;
  }
  const double decode = m.at("decode");
  const double accumulate = m.at("accumulate1");
  const double streamed = static_cast<double>(side) * side * (3 + 2 * sum_bytes_per_pixel(FitLayout::lrgb));
  const double accumulate16 = std::max(accumulate / 16, streamed / bandwidth);
  const double rest = std::max(0.0, m.at("one pass, threads 1") -
                                        photograph_count * (decode + accumulate));
  const double projected = photograph_count * (decode / 16 + accumulate16) + rest;
  std::printf("Per photograph: decoding %.1f ms, summing %.1f ms (one thread); the rest of the "
              "one-pass fit %.0f ms\n",
              1e3 * decode, 1e3 * accumulate, 1e3 * rest);
  std::printf("Projected default fit on 16 cores: %.2f s (%.2f s measured on one thread)\n",
              projected, m.at("one pass, threads 1"));
  const auto baseline = m.find("two passes, threads 1");
  if (baseline != m.end()) {
    std::printf("Projected speed-up over the baseline on 16 cores: %.1fx\n",
                baseline->second / projected);
  }
}

void both_layouts(benchmark::internal::Benchmark* b) {
  b->ArgNames({"rgb", "threads"})->ArgsProduct({{0, 1}, {1, 2}})->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

}  // namespace

BENCHMARK(BM_FitCommand)->ArgNames({"threads", "photographs"})
    ->Args({1, 1})->Args({1, 0})->Args({2, 0})->Args({0, 0})
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_ReadJpegPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeAdobeRgbJpegPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertAdobeRgbToSrgb)->ArgName("bits")->Arg(8)->Arg(16)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AccumulatePhotograph)
    ->ArgNames({"rgb", "bits", "threads"})->ArgsProduct({{0, 1}, {8, 16}, {1, 2}})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Solve)->Apply(both_layouts);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("cores", std::to_string(available_cores()));
  const double bandwidth = report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  print_projection(bandwidth);
  std::filesystem::remove_all(scratch_folder());
  return 0;
}
