// Fitting a map to 48 photographs of 2048 x 2048 pixels, as "relumo-tool
// fit" does: each photograph's read split into decoding (a PPM from the
// page cache, and a camera-like JPEG, also with an Adobe RGB profile to
// convert) and accumulating its right-hand sides at 8 and 16 bits; the
// solve, which streams the sums once and is compared with the
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
#include "imageio/colour_profile.h"
#include "imageio/jpeg_photograph.h"
#include "imageio/photograph_file.h"
#include "support/files.h"
#include "support/icc_fixture.h"
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
Photograph render_photograph(const LightDirection& light) {
  Photograph image;
  allocate_photograph_samples(image, side, side, 8);
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
      std::uint8_t* p = image.samples8.data() + 3 * (static_cast<std::size_t>(y) * side + x);
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
      const Photograph image = render_photograph(lights[i]);
      const std::string name = "shot" + std::to_string(i) + ".ppm";
      write_ppm(image.samples8.data(), (scratch_folder() + "/" + name).c_str(), side, side);
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

// As the fitter reads it: the file from the page cache, then decoded.
void BM_DecodePpmPhotograph(benchmark::State& state) {
  const std::string path = scratch_folder() + "/shot0.ppm";
  capture_file();
  for (auto _ : state) {
    Photograph photograph;
    read_photograph(path.c_str(), PhotographRequest{}, photograph);
    benchmark::DoNotOptimize(photograph.samples8.data());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t{side} * side * 3);
}

std::string camera_jpeg(const std::vector<std::string>& app2_payloads) {
  const Photograph image = render_photograph(capture_lights()[5]);
  JpegFixture fixture;
  fixture.width = side;
  fixture.height = side;
  fixture.samples = image.samples8;
  fixture.quality = 92;
  fixture.app2_payloads = app2_payloads;
  return jpeg_fixture_bytes(fixture);
}

void BM_DecodeJpegPhotograph(benchmark::State& state) {
  const std::string bytes = camera_jpeg({});
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

// The same JPEG with an Adobe RGB profile, read as the fitter reads it:
// decoded, then converted to sRGB by LittleCMS.
void BM_DecodeAdobeRgbJpegPhotograph(benchmark::State& state) {
  const std::string bytes = camera_jpeg(icc_app2_payloads(adobe_rgb_profile_bytes(), 1));
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

std::int64_t sum_bytes_per_pixel(FitLayout layout) {
  return layout == FitLayout::lrgb ? 6 * 4 + 4 * 4 : 18 * 4;
}

// Per layout (range 0) and sample precision (range 1: 8 or 16 bits).
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
  PhotographFit fit;
  begin_photograph_fit(lights.data(), photograph_count, side, side, layout_of(state), fit);
  for (auto _ : state) {
    accumulate_photograph(fit, image, lights[7]);
    benchmark::ClobberMemory();
  }
  // Each pass reads the photograph and reads and writes every sum.
  const std::int64_t pixels = std::int64_t{side} * side;
  state.SetBytesProcessed(state.iterations() * pixels *
                          (3 * state.range(1) / 8 + 2 * sum_bytes_per_pixel(layout_of(state))));
  free_photograph_fit(fit);
}

void BM_Solve(benchmark::State& state) {
  const std::vector<LightDirection> lights = capture_lights();
  const Photograph image = render_photograph(lights[3]);
  PhotographFit fit;
  begin_photograph_fit(lights.data(), photograph_count, side, side, layout_of(state), fit);
  for (int i = 0; i < photograph_count; i += 8) accumulate_photograph(fit, image, lights[i]);
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
BENCHMARK(BM_DecodeAdobeRgbJpegPhotograph)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertAdobeRgbToSrgb)->ArgName("bits")->Arg(8)->Arg(16)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AccumulatePhotograph)
    ->ArgNames({"rgb", "bits"})->ArgsProduct({{0, 1}, {8, 16}})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Solve)->Apply(both_layouts);
BENCHMARK(BM_FitCapture)->Apply(both_layouts)->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(scratch_folder());
  return 0;
}
