// Fitting a map to 48 photographs of 2048 x 2048 pixels, as "relumo-tool
// fit" does: each photograph's read split into decoding (a PPM from the
// page cache, and a camera-like JPEG) and accumulating its right-hand
// sides; the solve, which streams the sums once and is compared with the
// machine's memory bandwidth measured in the same run; and the whole
// command (both passes over 48 PPM files, the map written).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/capture_fit.h"
#include "analysis/photograph_fit.h"
#include "common/rgb_image.h"
#include "imageio/image_files.h"
#include "imageio/jpeg_photograph.h"
#include "support/files.h"
#include "support/jpeg_fixture.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"

namespace {

constexpr int side = 2048;
constexpr int photograph_count = 48;

// Three rings of 16 lights at elevations of about 70, 45 and 20 degrees.
std::vector<LightDirection> capture_lights() {
  std::vector<LightDirection> lights;
  for (double radius : {0.34, 0.71, 0.94}) {
    for (int k = 0; k < 16; ++k) {
      const double angle = 2 * 3.141592653589793 * k / 16 + radius;
      lights.push_back({static_cast<float>(radius * std::cos(angle)),
                        static_cast<float>(radius * std::sin(angle))});
    }
  }
  return lights;
}

// A Lambertian relief of ridges lit from `light`, in colour, with a little
// pseudo-random texture so that no two pixels are alike.
RgbImage* render_photograph(const LightDirection& light) {
  RgbImage* image = new_rgb_image(side, side);
  const double lz = std::sqrt(std::max(0.0, 1.0 - light.u * light.u - light.v * light.v));
  std::uint32_t noise = 12345;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double nx = 0.4 * std::sin(x * 0.013) * std::cos(y * 0.007);
      const double ny = 0.3 * std::cos(x * 0.005 + y * 0.011);
      const double shade = std::max(0.0, nx * light.u + ny * light.v + lz) /
                           std::sqrt(nx * nx + ny * ny + 1);
      noise = noise * 1664525u + 1013904223u;
      const int texture = static_cast<int>(noise >> 28);
      std::uint8_t* p = image->pixels + 3 * (static_cast<std::size_t>(y) * side + x);
      p[0] = static_cast<std::uint8_t>(std::min(255.0, 230 * shade + texture));
      p[1] = static_cast<std::uint8_t>(std::min(255.0, 180 * shade + texture));
      p[2] = static_cast<std::uint8_t>(std::min(255.0, 120 * shade + texture));
    }
  }
  return image;
}

const std::string& scratch_folder() {
  static const std::string folder = make_temp_directory("tool-fit-bench");
  return folder;
}

// The capture as PPM files and its light-position file, written once.
const std::string& capture_file() {
  static const std::string lp = [] {
    const std::vector<LightDirection> lights = capture_lights();
    std::string text = std::to_string(photograph_count) + "\n";
    for (int i = 0; i < photograph_count; ++i) {
      RgbImage* image = render_photograph(lights[i]);
      const std::string name = "shot" + std::to_string(i) + ".ppm";
      write_ppm(image->pixels, (scratch_folder() + "/" + name).c_str(), side, side);
      free_rgb_image(image);
      const double z = std::sqrt(1.0 - lights[i].u * lights[i].u - lights[i].v * lights[i].v);
      char line[128];
      std::snprintf(line, sizeof line, "%s %.8f %.8f %.8f\n", name.c_str(), lights[i].u,
                    lights[i].v, z);
      text += line;
    }
    const std::string path = scratch_folder() + "/capture.lp";
    write_file_bytes(path, text);
    return path;
  }();
  return lp;
}

void BM_DecodePpmPhotograph(benchmark::State& state) {
  const std::string path = scratch_folder() + "/shot0.ppm";
  capture_file();
  for (auto _ : state) {
    RgbImage* image = Input_ppm_and_create_as_char_image(path.c_str());
    benchmark::DoNotOptimize(image->pixels);
    free_rgb_image(image);
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t{side} * side * 3);
}

void BM_DecodeJpegPhotograph(benchmark::State& state) {
  RgbImage* image = render_photograph(capture_lights()[5]);
  JpegFixture fixture;
  fixture.width = side;
  fixture.height = side;
  fixture.samples.assign(image->pixels, image->pixels + std::size_t{3} * side * side);
  fixture.quality = 92;
  free_rgb_image(image);
  const std::string bytes = jpeg_fixture_bytes(fixture);
  state.counters["jpeg_bytes"] = static_cast<double>(bytes.size());
  for (auto _ : state) {
    JpegPhotograph* photograph = open_jpeg_photograph(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), "bench");
    RgbImage* decoded = decode_jpeg_photograph(photograph);
    close_jpeg_photograph(photograph);
    benchmark::DoNotOptimize(decoded->pixels);
    free_rgb_image(decoded);
  }
}

FitLayout layout_of(const benchmark::State& state) {
  return state.range(0) == 0 ? FitLayout::lrgb : FitLayout::rgb;
}

std::int64_t sum_bytes_per_pixel(FitLayout layout) {
  return layout == FitLayout::lrgb ? 6 * 4 + 4 * 4 : 18 * 4;
}

void BM_AccumulatePhotograph(benchmark::State& state) {
  const std::vector<LightDirection> lights = capture_lights();
  RgbImage* image = render_photograph(lights[7]);
  PhotographFit fit;
  begin_photograph_fit(lights.data(), photograph_count, side, side, layout_of(state), fit);
  for (auto _ : state) {
    accumulate_photograph(fit, *image, lights[7]);
    benchmark::ClobberMemory();
  }
  // Each pass reads the photograph and reads and writes every sum.
  const std::int64_t pixels = std::int64_t{side} * side;
  state.SetBytesProcessed(state.iterations() * pixels *
                          (3 + 2 * sum_bytes_per_pixel(layout_of(state))));
  free_photograph_fit(fit);
  free_rgb_image(image);
}

void BM_Solve(benchmark::State& state) {
  const std::vector<LightDirection> lights = capture_lights();
  RgbImage* image = render_photograph(lights[3]);
  PhotographFit fit;
  begin_photograph_fit(lights.data(), photograph_count, side, side, layout_of(state), fit);
  for (int i = 0; i < photograph_count; i += 8) accumulate_photograph(fit, *image, lights[i]);
  const std::int64_t values = std::int64_t{side} * side * (layout_of(state) == FitLayout::lrgb ? 6 : 18);
  std::vector<float> sums(fit.values, fit.values + values);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(sums.begin(), sums.end(), fit.values);
    state.ResumeTiming();
    solve_photograph_fit(fit);
    benchmark::ClobberMemory();
  }
  // Read and written once: twice the values' bytes.
  state.SetBytesProcessed(state.iterations() * values * 4 * 2);
  free_photograph_fit(fit);
  free_rgb_image(image);
}

// The command's whole work: both passes over the 48 files, the map built
// and written. (Its peak memory is the tool's to report: this process also
// holds the bandwidth measurement's gigabyte.)
void BM_FitCapture(benchmark::State& state) {
  const std::string& lp = capture_file();
  const std::string out = scratch_folder() + "/fitted.ptm";
  CaptureFitOptions options;
  options.layout = layout_of(state);
  for (auto _ : state) {
    CaptureFitReport report;
    RedirectedStdout quiet(stderr);
    if (!fit_capture(lp.c_str(), out.c_str(), options, report)) {
      state.SkipWithError("fit failed");
      break;
    }
    state.counters["rms"] = relit_rms(report.errors);
  }
  state.counters["photographs"] = photograph_count;
}

void both_layouts(benchmark::internal::Benchmark* b) {
  b->ArgName("rgb")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}

}  // namespace

BENCHMARK(BM_DecodePpmPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeJpegPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AccumulatePhotograph)->Apply(both_layouts);
BENCHMARK(BM_Solve)->Apply(both_layouts);
BENCHMARK(BM_FitCapture)->Apply(both_layouts)->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(scratch_folder());
  return 0;
}
