#include "render/diffuse_gain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/core/viewer_state.h"
#include "common/end_program.h"

float diffuse_gain = 1.0f;
float diffuse_gain_slider = 0.2f;

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
// leave the range of the integer form, and there it keeps its sign.
template <typename Int>
Int saturate(float value) {
  constexpr float low = static_cast<float>(std::numeric_limits<Int>::min());
  // The largest float below 2^31 (or exactly 32767 for int16).
  const float high =
      std::nextafter(static_cast<float>(std::numeric_limits<Int>::max()) + 1.0f, 0.0f);
  if (!(value > low)) return std::numeric_limits<Int>::min();  // also NaN
  if (value >= high) return std::numeric_limits<Int>::max();
  return static_cast<Int>(value);
}

// One pixel's coefficient sets: three (red, green, blue) for RGB, one for
// the luminance formats.
int coefficient_sets(const Ptm& ptm) { return ptm.format == PTM_FORMAT_RGB ? 3 : 1; }

// The rewritten coefficients of set `set` of pixel `pixel`.
void rewrite(const Ptm& source, const StoredValues& values, std::size_t pixel, int set, float gain,
             float out[6]) {
  const std::uint8_t* low = source.coef_planes[2 * set] + pixel * 3;
  const std::uint8_t* high = source.coef_planes[2 * set + 1] + pixel * 3;
  const float a[6] = {values.of[0][low[0]],  values.of[1][low[1]],  values.of[2][low[2]],
                      values.of[3][high[0]], values.of[4][high[1]], values.of[5][high[2]]};
  int nx = 0;
  int ny = 0;
  if (source.normals != nullptr) {
    nx = source.normals[pixel * 3];
    ny = source.normals[pixel * 3 + 1];
  }
  diffuse_gain_coefficients(a, out, nx, ny, gain);
}

// Stores one rewritten set in the destination's integer form: packed in
// display units saturated to int16; wide a0..a4 times 16 and a5 times
// 16384 (a / 16 and 64 a of the values here, which are display units times
// 256).
void store(Ptm& destination, std::size_t pixel, int set, const float a[6]) {
  if (destination.packed_lrgb != nullptr) {
    for (int k = 0; k < 6; ++k)
      destination.packed_lrgb[pixel].coef[k] = saturate<std::int16_t>(a[k] / 256);
    return;
  }
  if (destination.packed_rgb != nullptr) {
    std::int16_t* group = destination.packed_rgb + pixel * packed_rgb_values_per_pixel + 8 * set;
    for (int k = 0; k < 6; ++k) group[k] = saturate<std::int16_t>(a[k] / 256);
    return;
  }
  std::int32_t* wide = destination.format == PTM_FORMAT_RGB ? destination.coef_int[set] + pixel * 6
                                                            : destination.lum_coef_int + pixel * 6;
  for (int k = 0; k < 5; ++k) wide[k] = saturate<std::int32_t>(a[k] / 16);
  wide[5] = saturate<std::int32_t>(64 * a[5]);
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

void diffuse_gain_coefficients(const float a[6], float out[6], int nx, int ny, float gain) {
  const float nu = static_cast<float>(nx) / 127;
  const float nv = static_cast<float>(ny) / 127;
  const float g = gain;
  out[0] = g * a[0];
  out[1] = g * a[1];
  out[2] = g * a[2];
  out[3] = (2 * a[0] * nu + a[2] * nv) * (1 - g) + a[3];
  out[4] = (2 * a[1] * nv + a[2] * nu) * (1 - g) + a[4];
  out[5] = (a[0] * nu * nu + a[1] * nv * nv + a[2] * nu * nv) * (1 - g) + (a[3] - out[3]) * nu +
           (a[4] - out[4]) * nv + a[5];
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

void diffuse_gain_transform(const Ptm& source, Ptm& destination, float gain) {
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
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int set = 0; set < sets; ++set) {
      float a[6];
      rewrite(source, values, p, set, gain, a);
      for (int k = 0; k < 6; ++k) {
        min[k] = std::min(min[k], a[k]);
        max[k] = std::max(max[k], a[k]);
      }
    }
  }
  compute_scale_bias(min, max, destination.scale_bias);

  // Colour first: a packed record's colour bytes share its 16 bytes with
  // the coefficients stored next.
  copy_color(source, destination);
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int set = 0; set < sets; ++set) {
      float a[6];
      rewrite(source, values, p, set, gain, a);
      store(destination, p, set, a);
    }
  }
}

void ptm_transform() {
  if (viewer.display_ptm == nullptr) {
    viewer.display_ptm = create_derived_ptm_shared(*viewer.current_ptm);
  }
  diffuse_gain_transform(*viewer.current_ptm, *viewer.display_ptm, diffuse_gain);
  viewer.display_ptm_transformed = 1;
}
