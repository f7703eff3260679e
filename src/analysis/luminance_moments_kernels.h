// The moment kernels behind luminance_moments, one set per instruction
// set. Each adds the moments of pixels 0 .. count - 1 to `m`. Byte moments
// read one plane pair (`low` holds b0..b2 and `high` b3..b5, three bytes
// per pixel); RGB moments read the six planes of the three channels in the
// map's order (red a0..a2, red a3..a5, green ..., blue ...).
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/luminance_moments.h"

void add_byte_moments_portable(const std::uint8_t* low, const std::uint8_t* high, std::size_t count,
                               LuminanceMoments& m);
void add_rgb_moments_portable(const std::uint8_t* const planes[6], std::size_t count,
                              LuminanceMoments& m);

void add_byte_moments_avx2(const std::uint8_t* low, const std::uint8_t* high, std::size_t count,
                           LuminanceMoments& m);
void add_rgb_moments_avx2(const std::uint8_t* const planes[6], std::size_t count,
                          LuminanceMoments& m);

// Whole groups of 64 pixels only; return how many pixels they summed.
std::size_t add_byte_moments_avx512(const std::uint8_t* low, const std::uint8_t* high,
                                    std::size_t count, LuminanceMoments& m);
std::size_t add_rgb_moments_avx512(const std::uint8_t* const planes[6], std::size_t count,
                                   LuminanceMoments& m);
