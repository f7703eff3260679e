// First and second moments of a map's stored luminance bytes, summed
// exactly in integers.
//
// The luminance coefficient a_k of a pixel is an affine function of an
// integer y_k taken from its stored bytes: y_k = b_k for LUM and LRGB maps
// (the byte of plane pair 0), and y_k = 30 R_k + 59 G_k + 11 B_k for RGB
// maps, 100 times the 0.3 / 0.59 / 0.11 luma mix of the three channels'
// bytes (0 .. 25500). While the decoding (b - bias) * scale does not wrap
// in 32 bits, every sum of a_k or a_i a_j over the pixels follows from the
// sums of y_k and y_i y_j, which fit in 64 bits for any map that fits in
// memory; the variance model is built from them.
#pragma once

#include <cstdint>

#include "ptm/ptm.h"

// The 21 products y_i y_j with i <= j, row by row of the upper triangle:
// (0,0), (0,1) .. (0,5), (1,1) .. (5,5).
constexpr int moment_pair_count = 21;
constexpr int moment_pair(int i, int j) { return i * 6 - i * (i - 1) / 2 + (j - i); }

struct LuminanceMoments {
  std::uint64_t sum[6];                      // sum of y_k
  std::uint64_t product[moment_pair_count];  // sum of y_i y_j
};

// The weight of the luminance integers: a_k = scale_k (y_k - weight *
// bias_k) / (256 weight), 100 for RGB maps, 1 otherwise.
int luminance_weight(const Ptm& ptm);

// The kernels: portable code (vectorised by the compiler for the baseline
// processor or for AVX2), and AVX-512 byte permutes with VNNI dot products
// for the byte moments of LUM and LRGB maps.
enum class MomentsIsa { portable, avx2, avx512 };

bool moments_isa_available(MomentsIsa isa);

// The moments of every pixel of an RGB, LUM or LRGB map, by the kernels of
// `isa` (which must be available) or by the fastest this processor has.
// Blocks of pixels go to up to `threads` threads; the integer sums are the
// same for any number.
LuminanceMoments luminance_moments(const Ptm& ptm, MomentsIsa isa, int threads = 1);
LuminanceMoments luminance_moments(const Ptm& ptm, int threads = 1);
