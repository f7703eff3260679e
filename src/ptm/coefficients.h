// Conversion of stored coefficient bytes into the integer forms the
// evaluators read. It happens once, when a map is loaded.
//
// For a stored byte b of coefficient k with fixed-point scale S (x 256) and
// bias B: t = (b - B) * S in 32-bit arithmetic, q = t / 256 truncated toward
// zero. Packed: q saturated to int16. Wide: q * 16 for a0..a4 and
// q * 16384 for a5, not saturated.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "ptm/ptm.h"

std::int16_t packed_coefficient(int stored_byte, std::int32_t scale, std::int32_t bias);
std::int32_t wide_coefficient(int k, int stored_byte, std::int32_t scale, std::int32_t bias);

// The conversion depends only on (k, b), so a map converts through one
// table per coefficient and representation.
struct CoefficientTables {
  std::int16_t packed[6][256];
  std::int32_t wide[6][256];
};

void build_coefficient_tables(const std::int32_t* scale_bias, CoefficientTables& tables);

// The six stored bytes a0..a5 of one pixel into the pair of coefficient
// planes that keeps them as (a0, a1, a2) and (a3, a4, a5).
inline void store_stored_bytes(std::uint8_t* low_plane, std::uint8_t* high_plane, std::size_t pixel,
                               const std::uint8_t* six) {
  std::uint8_t* low = low_plane + pixel * 3;
  std::uint8_t* high = high_plane + pixel * 3;
  low[0] = six[0];
  low[1] = six[1];
  low[2] = six[2];
  high[0] = six[3];
  high[1] = six[4];
  high[2] = six[5];
}

// The integer coefficients of one pixel of a luminance map (LRGB or LUM)
// from its six stored bytes, and for LRGB its colour (`rgb`; null leaves the
// colour planes of a wide or stored map as they are). A map in the stored
// representation takes only the colour.
inline void convert_luminance_pixel(Ptm& ptm, const CoefficientTables& tables, std::size_t pixel,
                                    const std::uint8_t* six, const std::uint8_t* rgb) {
  if (ptm.packed_lrgb != nullptr) {
    // Built whole in registers and stored as one 16-byte record, streamed
    // past the cache: the records of a large map are not read again soon.
    auto coef = [&](int k) {
      return std::uint64_t{static_cast<std::uint16_t>(tables.packed[k][six[k]])};
    };
    const std::uint64_t low = coef(0) | coef(1) << 16 | coef(2) << 32 | coef(3) << 48;
    const std::uint64_t high = coef(4) | coef(5) << 16 | std::uint64_t{rgb[0]} << 32 |
                               std::uint64_t{rgb[1]} << 40 | std::uint64_t{rgb[2]} << 48;
    _mm_stream_si128(reinterpret_cast<__m128i*>(ptm.packed_lrgb + pixel),
                     _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low)));
    return;
  }
  // A map in the stored representation keeps only its colour.
  if (ptm.lum_coef_int != nullptr) {
    std::int32_t* wide = ptm.lum_coef_int + pixel * 6;
    for (int k = 0; k < 6; ++k) wide[k] = tables.wide[k][six[k]];
  }
  if (rgb != nullptr) {
    ptm.color_planes[0][pixel] = rgb[0];
    ptm.color_planes[1][pixel] = rgb[1];
    ptm.color_planes[2][pixel] = rgb[2];
  }
}

// The integer coefficients of channel c of one pixel of an RGB map (none
// for a map in the stored representation).
inline void convert_rgb_channel(Ptm& ptm, const CoefficientTables& tables, std::size_t pixel, int c,
                                const std::uint8_t* six) {
  if (ptm.packed_rgb != nullptr) {
    std::int16_t* out = ptm.packed_rgb + pixel * packed_rgb_values_per_pixel + 8 * c;
    for (int k = 0; k < 6; ++k) out[k] = tables.packed[k][six[k]];
    out[6] = 0;
    out[7] = 0;
    return;
  }
  if (ptm.coef_int[c] == nullptr) return;  // the stored representation
  std::int32_t* out = ptm.coef_int[c] + pixel * 6;
  for (int k = 0; k < 6; ++k) out[k] = tables.wide[k][six[k]];
}

// Converts every pixel's coefficient planes into the map's integer arrays,
// with tables built from its scale_bias: all three channels of an RGB map,
// or the luminance coefficients of an LRGB or LUM map. The colour is left
// as it is, except that a packed LRGB record takes it from the colour
// planes where the map has them (a view of a stored map given an integer
// form). A map without an integer form is left as it is.
void convert_all_coefficients(Ptm& ptm);

// trunc(value * 256), the fixed-point form of a scale; false when the value
// is not finite or does not fit in 32 bits.
bool scale_to_fixed(float value, std::int32_t& fixed);
