// The depth command on a 4096 x 4096 map whose normals are already
// computed: the gradients, the growth, the normalisation and the smoothing
// each, the three together, and each of the three files it
// writes. The mesh is also written the plain way, one fprintf per number
// group, for comparison with the formatting into a buffer.
//
// The files go to a scratch folder in /dev/shm (memory) when there is one,
// so that the figures are the writers' own and not the disk's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/cob_mesh.h"
#include "analysis/depth.h"
#include "analysis/depth_image.h"
#include "analysis/normal_image.h"
#include "common/checked_alloc.h"
#include "ptm/ptm.h"
#include "support/memory_bandwidth.h"
#include "support/redirected_stdout.h"

namespace {

constexpr int side = 4096;
constexpr std::size_t pixels = std::size_t{side} * side;
const CameraParameters camera{50.0f, 36.0f, 36.0f, 20.0f, 600.0f};

// Height of a relief of bumps and ridges, in pixels; its gradient gives
// the normals (z toward the viewer).
double relief_height(double x, double y) {
  const double s = 2.0 * 3.141592653589793 / side;
  return 300.0 * std::sin(3 * s * x) * std::cos(2 * s * y) + 120.0 * std::sin(7 * s * (x + y)) +
         400.0 * std::exp(-((x - 1400) * (x - 1400) + (y - 2400) * (y - 2400)) / 360000.0);
}

const Ptm& relief_map() {
  static Ptm* ptm = [] {
    Ptm* map = create_ptm(side, side, PTM_FORMAT_LRGB, CoefRepresentation::wide);
    map->normals = checked_alloc_array<std::int8_t>(pixels * 3);
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const double hx = (relief_height(x + 1, y) - relief_height(x - 1, y)) / 2;
        const double hy = (relief_height(x, y + 1) - relief_height(x, y - 1)) / 2;
        const double length = std::sqrt(hx * hx + hy * hy + 1);
        std::int8_t* n = map->normals + 3 * (std::size_t{static_cast<unsigned>(y)} * side + x);
        n[0] = static_cast<std::int8_t>(127 * -hx / length);
        n[1] = static_cast<std::int8_t>(127 * -hy / length);
        n[2] = static_cast<std::int8_t>(127 / length);
      }
    }
    return map;
  }();
  return *ptm;
}

// Fields of the checked allocator, as the depth command has them (large
// blocks there are offered to the kernel as huge pages).
float* new_field() { return checked_alloc_array<float>(pixels); }

float* gx() {
  static float* field = new_field();
  return field;
}
float* gy() {
  static float* field = new_field();
  return field;
}

// The smoothed depth map of the relief, for the writers.
const float* relief_depth() {
  static float* depth = [] {
    const Ptm& map = relief_map();
    float* d = reconstruct_depth(map.normals, nullptr, side, side, camera);
    smooth_depth(d, side, side);
    return d;
  }();
  return depth;
}

std::string scratch_file(const char* name) {
  static const std::string folder = [] {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string path = base + "/relumo-depth-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder + "/" + name;
}

void set_megapixel_rate(benchmark::State& state) {
  state.counters["MP/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(pixels) / 1e6,
      benchmark::Counter::kIsRate);
}

void BM_Gradients(benchmark::State& state) {
  const Ptm& map = relief_map();
  for (auto _ : state) {
    depth_gradients(map.normals, nullptr, side, side, gx(), gy());
    benchmark::ClobberMemory();
  }
  set_megapixel_rate(state);
}

void BM_Growth(benchmark::State& state) {
  const Ptm& map = relief_map();
  depth_gradients(map.normals, nullptr, side, side, gx(), gy());
  float* depth = new_field();
  for (auto _ : state) {
    if (!grow_depth(gx(), gy(), side, side, camera, depth).complete) {
      state.SkipWithError("no depth");
    }
    benchmark::ClobberMemory();
  }
  checked_free(depth);
  set_megapixel_rate(state);
}

// On the grown map: each pass divides by the estimated depth again, which
// costs the same.
void BM_Normalisation(benchmark::State& state) {
  const Ptm& map = relief_map();
  depth_gradients(map.normals, nullptr, side, side, gx(), gy());
  float* depth = new_field();
  grow_depth(gx(), gy(), side, side, camera, depth);
  for (auto _ : state) {
    if (!normalise_depth(depth, nullptr, side, side, camera)) state.SkipWithError("no depth");
    benchmark::ClobberMemory();
  }
  checked_free(depth);
  set_megapixel_rate(state);
}

void BM_Smoothing(benchmark::State& state) {
  float* depth = new_field();
  std::copy(relief_depth(), relief_depth() + pixels, depth);
  for (auto _ : state) {
    smooth_depth(depth, side, side);
    benchmark::ClobberMemory();
  }
  checked_free(depth);
  set_megapixel_rate(state);
}

// reconstruct_depth (its own arrays included) and the smoothing.
void BM_DepthMap(benchmark::State& state) {
  const Ptm& map = relief_map();
  for (auto _ : state) {
    float* depth = reconstruct_depth(map.normals, nullptr, side, side, camera);
    if (depth == nullptr) state.SkipWithError("no depth");
    smooth_depth(depth, side, side);
    benchmark::DoNotOptimize(depth);
    checked_free(depth);
  }
  set_megapixel_rate(state);
}

void set_file_rate(benchmark::State& state, const std::string& path) {
  const auto bytes = static_cast<double>(std::filesystem::file_size(path));
  state.counters["MB"] = bytes / 1e6;
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * bytes / 1e6,
                                              benchmark::Counter::kIsRate);
}

void BM_WriteNormalImage(benchmark::State& state) {
  const std::string path = scratch_file("normalimage.ppm");
  for (auto _ : state) {
    if (!write_normal_image_fixed(relief_map(), path.c_str())) state.SkipWithError("not written");
  }
  set_file_rate(state, path);
}

void BM_WriteDepthImage(benchmark::State& state) {
  const std::string path = scratch_file("depthimage.ppm");
  const float* depth = relief_depth();
  for (auto _ : state) {
    if (!write_depth_image(depth, side, side, path.c_str())) state.SkipWithError("not written");
  }
  set_file_rate(state, path);
}

void BM_WriteMesh(benchmark::State& state) {
  const std::string path = scratch_file("tsdepthascii.cob");
  const float* depth = relief_depth();
  std::FILE* null = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    RedirectedStdout quiet(null);
    if (!write_cob_mesh(depth, nullptr, side, side, "R:\\sample18\\18-001.tga", path.c_str())) {
      state.SkipWithError("not written");
    }
  }
  std::fclose(null);
  set_file_rate(state, path);
}

// The mesh's vertex, texture and face lines through fprintf, as a plain
// writer would produce them (the fixed text around them left out).
void BM_WriteMeshWithPrintf(benchmark::State& state) {
  const std::string path = scratch_file("printf.cob");
  const float* depth = relief_depth();
  const int a = (side - 1) / 4;
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    for (int y = 0; y < side; y += 4) {
      for (int x = 0; x < side; x += 4) {
        std::fprintf(file, "%f %f %f\n", 2.0 * x / (side - 1), 2.0 * y / (side - 1),
                     0.27 - depth[std::size_t{static_cast<unsigned>(y)} * side + x] + 1.0);
      }
    }
    for (int y = 0; y < side; y += 4) {
      for (int x = 0; x < side; x += 4) {
        std::fprintf(file, "%f %f\n", static_cast<double>(x) / (side - 1),
                     static_cast<double>(y) / (side - 1));
      }
    }
    for (int y = 0; y < side - 4; y += 4) {
      for (int x = 0; x < side - 4; x += 4) {
        const int d = (a + 1) * (y / 4) + x / 4;
        const int e = d + a + 1;
        std::fprintf(file, "Face verts 3 flags 0 mat 0\n<%i,%i> <%i,%i>\n<%i,%i> ", d, d, e, e,
                     d + 1, d + 1);
        std::fprintf(file, "Face verts 3 flags 0 mat 0\n<%i,%i> <%i,%i>\n<%i,%i> ", d + 1, d + 1, e,
                     e, e + 1, e + 1);
      }
    }
    std::fclose(file);
  }
  set_file_rate(state, path);
}

}  // namespace

BENCHMARK(BM_Gradients)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Growth)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Normalisation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Smoothing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DepthMap)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteNormalImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteDepthImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteMesh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteMeshWithPrintf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  report_read_bandwidth();
  benchmark::RunSpecifiedBenchmarks();
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(scratch_file("x")).parent_path(), ignored);
  return 0;
}
