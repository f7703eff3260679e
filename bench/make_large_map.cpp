// Writes an uncompressed map of any size for the large-map benchmark script
// (bench/large_maps.sh): a Lambertian surface of crossing waves, some
// hundred pixels long, under a smooth colour, with a little noise in every
// stored byte so that a compressor finds what it finds in a fitted map.
// The map is made in its stored bytes alone (no integer form), a block of
// rows per core, and written once. Prints the machine's cores and memory
// bandwidth, which the script reports beside its figures.
//
//   make_large_map OUT.ptm lrgb|rgb WIDTH HEIGHT
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/parallel.h"
#include "ptm/coefficients.h"
#include "ptm/ptm.h"
#include "support/memory_bandwidth.h"
#include "writers/ptm_writer.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// Stored byte b stands for (b - bias) * scale. The Lambertian luminance
// 255 rho (nx u + ny v + nz sqrt(1 - u^2 - v^2)), with the root taken to
// second order, is -127.5 rho nz (u^2 + v^2) + 255 rho (nx u + ny v + nz):
// a0 = a1 in [-127.5, 0], a2 = 0, a3 and a4 in [-255, 255], a5 in [0, 255].
constexpr double scales[6] = {0.5, 0.5, 1, 2, 2, 1};
constexpr int biases[6] = {255, 255, 128, 128, 128, 0};

struct Surface {
  double nx, ny, nz;  // unit normal
  double albedo;      // 0..1
  double colour[3];   // 0..1 per channel
};

// The waves' height h = 40 sin(2 pi x / 700) cos(2 pi y / 530) + 25 sin(2
// pi (x + y) / 1900) pixels, its normal (-hx, -hy, 1) normalised.
Surface surface_at(int x, int y) {
  const double kx = 2 * pi / 700;
  const double ky = 2 * pi / 530;
  const double kd = 2 * pi / 1900;
  const double hx =
      40 * kx * std::cos(kx * x) * std::cos(ky * y) + 25 * kd * std::cos(kd * (x + y));
  const double hy =
      -40 * ky * std::sin(kx * x) * std::sin(ky * y) + 25 * kd * std::cos(kd * (x + y));
  const double length = std::sqrt(hx * hx + hy * hy + 1);
  Surface s{-hx / length, -hy / length, 1 / length, 0, {}};
  s.albedo = 0.7 + 0.2 * std::sin(x / 1300.0) * std::cos(y / 900.0);
  s.colour[0] = 0.75 + 0.2 * std::sin(x / 2100.0);
  s.colour[1] = 0.7 + 0.2 * std::cos(y / 1700.0);
  s.colour[2] = 0.6 + 0.2 * std::sin((x - y) / 2500.0);
  return s;
}

// -1, 0 or 1 from the pixel and the coefficient: noise a compressor sees.
int noise(std::uint64_t x, std::uint64_t y, std::uint64_t k) {
  std::uint64_t h =
      x * 0x9E3779B97F4A7C15ull ^ y * 0xC2B2AE3D27D4EB4Full ^ k * 0x165667B19E3779F9ull;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<int>(h % 3) - 1;
}

std::uint8_t stored_byte(double value, int k, int x, int y) {
  const long byte = std::lround(value / scales[k]) + biases[k] + noise(x, y, k);
  return static_cast<std::uint8_t>(byte < 0 ? 0 : byte > 255 ? 255 : byte);
}

// The six stored bytes of the luminance 255 * rho * surface.
void luminance_bytes(const Surface& s, double rho, int x, int y, std::uint8_t out[6]) {
  const double a[6] = {-127.5 * rho * s.nz, -127.5 * rho * s.nz, 0,
                       255 * rho * s.nx,    255 * rho * s.ny,    255 * rho * s.nz};
  for (int k = 0; k < 6; ++k) out[k] = stored_byte(a[k], k, x, y);
}

void fill_rows(Ptm& map, int first, int end) {
  const bool rgb = map.format == PTM_FORMAT_RGB;
  for (int y = first; y < end; ++y) {
    for (int x = 0; x < map.width; ++x) {
      const std::size_t p = static_cast<std::size_t>(y) * map.width + x;
      const Surface s = surface_at(x, y);
      std::uint8_t six[6];
      if (rgb) {
        // Each channel's luminance is the albedo times its colour.
        for (int c = 0; c < 3; ++c) {
          luminance_bytes(s, s.albedo * s.colour[c], x, y, six);
          std::memcpy(map.coef_planes[2 * c] + p * 3, six, 3);
          std::memcpy(map.coef_planes[2 * c + 1] + p * 3, six + 3, 3);
        }
        continue;
      }
      luminance_bytes(s, s.albedo, x, y, six);
      std::memcpy(map.coef_planes[0] + p * 3, six, 3);
      std::memcpy(map.coef_planes[1] + p * 3, six + 3, 3);
      std::uint8_t colour[3];
      for (int c = 0; c < 3; ++c) {
        colour[c] = static_cast<std::uint8_t>(std::lround(255 * s.colour[c]) + noise(x, y, 6 + c));
      }
      set_lrgb_color(map, p, colour);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool lrgb = argc == 5 && std::strcmp(argv[2], "lrgb") == 0;
  const bool rgb = argc == 5 && std::strcmp(argv[2], "rgb") == 0;
  const int width = argc == 5 ? std::atoi(argv[3]) : 0;
  const int height = argc == 5 ? std::atoi(argv[4]) : 0;
  if (!(lrgb || rgb) || width < 1 || height < 1) {
    std::fprintf(stderr, "Usage: %s OUT.ptm lrgb|rgb WIDTH HEIGHT\n", argv[0]);
    return 2;
  }
  const int format = lrgb ? PTM_FORMAT_LRGB : PTM_FORMAT_RGB;
  if (!ptm_size_fits(width, height, format, CoefRepresentation::stored)) {
    std::fprintf(stderr, "%s: a %d x %d map does not fit in this machine's memory\n", argv[0],
                 width, height);
    return 1;
  }
  std::printf("cores: %d\n", available_cores());
  std::printf("memory read bandwidth: %.2f GB/s\n", measure_read_bandwidth() / 1e9);
  Ptm* map = create_ptm(width, height, format, CoefRepresentation::stored);
  for (int k = 0; k < 6; ++k) {
    map->scale_bias[k] = static_cast<std::int32_t>(scales[k] * 256);
    map->scale_bias[6 + k] = biases[k];
  }
  parallel_blocks(available_cores(), height, rows_per_block(width),
                  [&](std::int64_t first, std::int64_t end) {
                    fill_rows(*map, static_cast<int>(first), static_cast<int>(end));
                  });
  const bool written = write_ptm_region(*map, argv[1], 0, 0, width, height);
  free_ptm(map);
  if (!written) {
    std::fprintf(stderr, "%s: %s not written\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
