// Whole runs of LRGB pixels converted at once: the hot loop of loading a
// large LRGB map, vectorised for the packed representation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ptm/coefficients.h"

// Pixels first .. first + count - 1 of an LRGB map from `six` (six stored
// bytes per pixel) and `rgb` (three colour bytes per pixel): the two
// coefficient planes, and the 16-byte records or the wide coefficients and
// colour planes. `six` and `rgb` may be read up to 8 bytes past their last
// pixel. Every byte written equals what store_stored_bytes and
// convert_luminance_pixel give.
void convert_lrgb_rows(Ptm& ptm, const CoefficientTables& tables, std::size_t first,
                       std::size_t count, const std::uint8_t* six, const std::uint8_t* rgb);

// The vectorised kernel behind it, for processors with AVX2; handles whole
// groups of eight pixels and returns how many pixels it converted.
std::size_t convert_lrgb_packed_rows_avx2(Ptm& ptm, std::size_t first, std::size_t count,
                                          const std::uint8_t* six, const std::uint8_t* rgb);

// The same from planar bytes, as the planes of a compressed map come:
// planes[k][i] is stored byte k (k < 6) or colour byte k - 6 (k = 6, 7, 8)
// of pixel first + i.
void convert_lrgb_planes(Ptm& ptm, const CoefficientTables& tables, std::size_t first,
                         std::size_t count, const std::uint8_t* const* planes);

// Its vectorised kernel for packed maps on processors with AVX2; handles
// whole groups of 16 pixels and returns how many pixels it converted.
std::size_t convert_lrgb_planes_packed_avx2(Ptm& ptm, std::size_t first, std::size_t count,
                                            const std::uint8_t* const* planes);
