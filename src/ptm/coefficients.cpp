#include "ptm/coefficients.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// (b - B) * S / 256 in wrapping 32-bit arithmetic, the quotient truncated
// toward zero: a difference of -1 at scale 255 gives 0, not -1.
std::int32_t display_units(int stored_byte, std::int32_t scale, std::int32_t bias) {
  const auto difference =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(stored_byte) - static_cast<std::uint32_t>(bias));
  const auto t =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(difference) * static_cast<std::uint32_t>(scale));
  return t / 256;
}

}  // namespace

std::int16_t packed_coefficient(int stored_byte, std::int32_t scale, std::int32_t bias) {
  return static_cast<std::int16_t>(
      std::clamp<std::int32_t>(display_units(stored_byte, scale, bias), INT16_MIN, INT16_MAX));
}

std::int32_t wide_coefficient(int k, int stored_byte, std::int32_t scale, std::int32_t bias) {
  const std::uint32_t factor = k == 5 ? 16384 : 16;
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(display_units(stored_byte, scale, bias)) * factor);
}

void build_coefficient_tables(const std::int32_t* scale_bias, CoefficientTables& tables) {
  for (int k = 0; k < 6; ++k) {
    for (int b = 0; b < 256; ++b) {
      tables.packed[k][b] = packed_coefficient(b, scale_bias[k], scale_bias[6 + k]);
      tables.wide[k][b] = wide_coefficient(k, b, scale_bias[k], scale_bias[6 + k]);
    }
  }
}

namespace {

// Six coefficients of one pixel: bytes 0..2 of the first plane of a
// channel's pair, then bytes 0..2 of the second.
template <typename Out, typename Table>
void convert_pair(const std::uint8_t* low, const std::uint8_t* high, const Table& table, Out* out,
                  std::size_t count, std::size_t out_stride) {
  for (std::size_t i = 0; i < count; ++i, low += 3, high += 3, out += out_stride) {
    out[0] = table[0][low[0]];
    out[1] = table[1][low[1]];
    out[2] = table[2][low[2]];
    out[3] = table[3][high[0]];
    out[4] = table[4][high[1]];
    out[5] = table[5][high[2]];
  }
}

}  // namespace

void convert_coefficients(Ptm& ptm, const CoefficientTables& tables, std::size_t first,
                          std::size_t count) {
  const bool packed = uses_packed(ptm);
  if (ptm.format == PTM_FORMAT_RGB || ptm.format == PTM_FORMAT_JPEG_RGB ||
      ptm.format == PTM_FORMAT_JPEGLS_RGB) {
    for (int c = 0; c < 3; ++c) {
      const std::uint8_t* low = ptm.coef_planes[2 * c] + first * 3;
      const std::uint8_t* high = ptm.coef_planes[2 * c + 1] + first * 3;
      if (packed) {
        std::int16_t* out = ptm.packed_rgb + first * packed_rgb_values_per_pixel + 8 * c;
        convert_pair(low, high, tables.packed, out, count, packed_rgb_values_per_pixel);
        for (std::size_t i = 0; i < count; ++i) {
          out[i * packed_rgb_values_per_pixel + 6] = 0;
          out[i * packed_rgb_values_per_pixel + 7] = 0;
        }
      } else {
        convert_pair(low, high, tables.wide, ptm.coef_int[c] + first * 6, count, 6);
      }
    }
    return;
  }
  const std::uint8_t* low = ptm.coef_planes[0] + first * 3;
  const std::uint8_t* high = ptm.coef_planes[1] + first * 3;
  if (packed) {
    PackedLrgbTexel* texels = ptm.packed_lrgb + first;
    for (std::size_t i = 0; i < count; ++i) {
      std::int16_t* out = texels[i].coef;
      convert_pair(low + 3 * i, high + 3 * i, tables.packed, out, 1, 0);
      texels[i].zero = 0;
    }
  } else {
    convert_pair(low, high, tables.wide, ptm.lum_coef_int + first * 6, count, 6);
  }
}

void convert_all_coefficients(Ptm& ptm) {
  CoefficientTables tables;
  build_coefficient_tables(ptm.scale_bias, tables);
  convert_coefficients(ptm, tables, 0, pixel_count(ptm));
}

bool scale_to_fixed(float value, std::int32_t& fixed) {
  const float scaled = value * 256.0f;
  if (!std::isfinite(scaled) || scaled >= 2147483648.0f || scaled <= -2147483649.0f) return false;
  fixed = static_cast<std::int32_t>(scaled);
  return true;
}
