#include "render/diffuse_gain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/end_program.h"

namespace {

// The value of every stored byte of every coefficient: (b - bias) * scale,
// display units times 256. The product is formed in 64 bits, so that no
// scale and bias read from a file can overflow it.
struct StoredValues {
  float of[6][256];
};

StoredValues stored_values(const Ptm& ptm) {
  StoredValues values;
  for (int k = 0; k < 6; ++k) {
    for (int b = 0; b < 256; ++b) {
      const std::int64_t scale = ptm.scale_bias[k];
      const std::int64_t bias = ptm.scale_bias[k + 6];
      values.of[k][b] = static_cast<float>((b - bias) * scale);
    }
  }
  return values;
}

// Float to integer toward zero, saturated: a rewrite with a large gain can
// leave the range of the integer form, and there it keeps its sign. Below
// the type's maximum + 1 (2^15 or 2^31, both exact floats) truncation fits.
template <typename Int>
Int saturate(float value) {
  constexpr float low = static_cast<float>(std::numeric_limits<Int>::min());
  constexpr float beyond = static_cast<float>(std::numeric_limits<Int>::max()) + 1.0f;
  if (!(value > low)) return std::numeric_limits<Int>::min();  // also NaN
  if (value >= beyond) return std::numeric_limits<Int>::max();
  return static_cast<Int>(value);
}

// One pixel's coefficient sets: three (red, green, blue) for RGB, one for
// the luminance formats.
int coefficient_sets(const Ptm& ptm) { return ptm.format == PTM_FORMAT_RGB ? 3 : 1; }

// The rewrite of one coefficient set at the normal's projection (nu, nv),
// in scalars, so that the block loop below vectorises it.
inline void rewrite(float a0, float a1, float a2, float a3, float a4, float a5, float nu, float nv,
                    float g, float& o0, float& o1, float& o2, float& o3, float& o4, float& o5) {
  o0 = g * a0;
  o1 = g * a1;
  o2 = g * a2;
  o3 = (2 * a0 * nu + a2 * nv) * (1 - g) + a3;
  o4 = (2 * a1 * nv + a2 * nu) * (1 - g) + a4;
  o5 =
      (a0 * nu * nu + a1 * nv * nv + a2 * nu * nv) * (1 - g) + (a3 - o3) * nu + (a4 - o4) * nv + a5;
}

// Pixels are rewritten eight at a time, coefficient by coefficient across
// the eight, so that the compiler turns the arithmetic into vector
// instructions; each lane computes exactly what diffuse_gain_coefficients
// computes for its pixel, in the same order.
constexpr int block = 8;

struct Rewritten {
  float a[6][block];
};

// The rewritten coefficients of set `set` of the `count` (1..8) pixels from
// `first`; lanes beyond `count` repeat the first pixel.
void rewrite_block(const Ptm& source, const StoredValues& values, const float* constant_term,
                   std::size_t first, int count, int set, float gain, Rewritten& out) {
  float a[6][block];
  float nu[block];
  float nv[block];
  for (int i = 0; i < block; ++i) {
    const std::size_t pixel = first + (i < count ? i : 0);
    const std::uint8_t* low = source.coef_planes[2 * set] + pixel * 3;
    const std::uint8_t* high = source.coef_planes[2 * set + 1] + pixel * 3;
    for (int k = 0; k < 3; ++k) {
      a[k][i] = values.of[k][low[k]];
      a[k + 3][i] = values.of[k + 3][high[k]];
    }
    if (constant_term != nullptr) a[5][i] = *constant_term;
    const int nx = source.normals != nullptr ? source.normals[pixel * 3] : 0;
    const int ny = source.normals != nullptr ? source.normals[pixel * 3 + 1] : 0;
    nu[i] = static_cast<float>(nx) / 127;
    nv[i] = static_cast<float>(ny) / 127;
  }
  for (int i = 0; i < block; ++i) {
    rewrite(a[0][i], a[1][i], a[2][i], a[3][i], a[4][i], a[5][i], nu[i], nv[i], gain, out.a[0][i],
            out.a[1][i], out.a[2][i], out.a[3][i], out.a[4][i], out.a[5][i]);
  }
}

// Stores a block's rewritten set in the destination's integer form: packed
// in display units saturated to int16; wide a0..a4 times 16 and a5 times
// 16384 (a / 16 and 64 a of the values here, which are display units times
// 256).
void store_block(Ptm& destination, std::size_t first, int count, int set, const Rewritten& r) {
  if (destination.packed_lrgb != nullptr) {
    for (int i = 0; i < count; ++i) {
      std::int16_t* coef = destination.packed_lrgb[first + i].coef;
      for (int k = 0; k < 6; ++k) coef[k] = saturate<std::int16_t>(r.a[k][i] / 256);
    }
    return;
  }
  if (destination.packed_rgb != nullptr) {
    for (int i = 0; i < count; ++i) {
      std::int16_t* group =
          destination.packed_rgb + (first + i) * packed_rgb_values_per_pixel + 8 * set;
      for (int k = 0; k < 6; ++k) group[k] = saturate<std::int16_t>(r.a[k][i] / 256);
    }
    return;
  }
  std::int32_t* wide =
      destination.format == PTM_FORMAT_RGB ? destination.coef_int[set] : destination.lum_coef_int;
  for (int i = 0; i < count; ++i) {
    std::int32_t* pixel = wide + (first + i) * 6;
    for (int k = 0; k < 5; ++k) pixel[k] = saturate<std::int32_t>(r.a[k][i] / 16);
    pixel[5] = saturate<std::int32_t>(64 * r.a[5][i]);
  }
}

// The colour of the luminance formats travels unchanged; planes shared with
// the source already hold it.
void copy_color(const Ptm& source, Ptm& destination) {
  const std::size_t pixels = pixel_count(source);
  if (destination.packed_lrgb != nullptr) {
    for (std::size_t p = 0; p < pixels; ++p) {
      std::uint8_t rgb[3];
      get_lrgb_color(source, p, rgb);
      set_lrgb_color(destination, p, rgb);
    }
    return;
  }
  if (source.format == PTM_FORMAT_RGB) return;
  const int planes[] = {0, 1, 2};
  for (int c : planes) {
    if (source.format == PTM_FORMAT_LUM && c == 1) continue;  // LUM keeps chroma in 0 and 2
    if (destination.color_planes[c] == source.color_planes[c]) continue;
    std::copy(source.color_planes[c], source.color_planes[c] + pixels, destination.color_planes[c]);
  }
}

}  // namespace

float gain_on_switching_on(double v) { return static_cast<float>(1 + 100 * v * v * v); }

void diffuse_gain_coefficients(const float a[6], float out[6], int nx, int ny, float gain) {
  const float nu = static_cast<float>(nx) / 127;
  const float nv = static_cast<float>(ny) / 127;
  rewrite(a[0], a[1], a[2], a[3], a[4], a[5], nu, nv, gain, out[0], out[1], out[2], out[3], out[4],
          out[5]);
}

void compute_scale_bias(const float min[6], const float max[6], std::int32_t scale_bias[12]) {
  for (int k = 0; k < 6; ++k) {
    const std::int32_t scale = saturate<std::int32_t>(std::ceil((max[k] - min[k]) / 255));
    // A constant coefficient has no range to divide: any bias codes it, and
    // 0 is the one that needs no division by zero.
    const std::int32_t bias =
        scale == 0 ? 0 : saturate<std::int32_t>(-min[k] / static_cast<float>(scale));
    if (scale / 256 > 256) std::printf("That's an illegal scale value: %i\n", scale / 256);
    scale_bias[k] = scale;
    scale_bias[k + 6] = bias;
  }
}

void diffuse_gain_transform(const Ptm& source, Ptm& destination, float gain,
                            const float* constant_term) {
  if (source.format != PTM_FORMAT_RGB && source.format != PTM_FORMAT_LUM &&
      source.format != PTM_FORMAT_LRGB) {
    std::printf("ptm transform doesn't support this format\n");
    end_program(-1);
  }
  const StoredValues values = stored_values(source);
  const std::size_t pixels = pixel_count(source);
  const int sets = coefficient_sets(source);

  // The range pass recomputes the rewrite rather than keeping a float copy
  // of every coefficient of the map.
  float min[6];
  float max[6];
  std::fill(min, min + 6, 1e8f);
  std::fill(max, max + 6, -1e8f);
  Rewritten rewritten;
  for (std::size_t first = 0; first < pixels; first += block) {
    const int count = static_cast<int>(std::min<std::size_t>(block, pixels - first));
    for (int set = 0; set < sets; ++set) {
      rewrite_block(source, values, constant_term, first, count, set, gain, rewritten);
      for (int k = 0; k < 6; ++k) {
        for (int i = 0; i < count; ++i) {
          min[k] = std::min(min[k], rewritten.a[k][i]);
          max[k] = std::max(max[k], rewritten.a[k][i]);
        }
      }
    }
  }
  compute_scale_bias(min, max, destination.scale_bias);

  // Colour first: a packed record's colour bytes share its 16 bytes with
  // the coefficients stored next.
  copy_color(source, destination);
  for (std::size_t first = 0; first < pixels; first += block) {
    const int count = static_cast<int>(std::min<std::size_t>(block, pixels - first));
    for (int set = 0; set < sets; ++set) {
      rewrite_block(source, values, constant_term, first, count, set, gain, rewritten);
      store_block(destination, first, count, set, rewritten);
    }
  }
}
