// Conversion of stored coefficient bytes into the integer forms the
// evaluators read. It happens once, when a map is loaded.
//
// For a stored byte b of coefficient k with fixed-point scale S (x 256) and
// bias B: t = (b - B) * S in 32-bit arithmetic, q = t / 256 truncated toward
// zero. Packed: q saturated to int16. Wide: q * 16 for a0..a4 and
// q * 16384 for a5, not saturated.
#pragma once

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

// Converts pixels first .. first + count - 1 from coef_planes into the map's
// integer arrays: all three channels of an RGB map, or the luminance
// coefficients of an LRGB or LUM map (colour is not touched; a packed LRGB
// record's zero byte is set).
void convert_coefficients(Ptm& ptm, const CoefficientTables& tables, std::size_t first,
                          std::size_t count);

// Builds the tables from the map's scale_bias and converts every pixel.
void convert_all_coefficients(Ptm& ptm);

// trunc(value * 256), the fixed-point form of a scale; false when the value
// is not finite or does not fit in 32 bits.
bool scale_to_fixed(float value, std::int32_t& fixed);
