// The portable moment kernels compiled for AVX2: the dot products become
// 16-lane multiply-adds (vpmaddwd).
#include "analysis/luminance_moments_blocks.h"
#include "analysis/luminance_moments_kernels.h"

void add_byte_moments_avx2(const std::uint8_t* low, const std::uint8_t* high, std::size_t count,
                           LuminanceMoments& m) {
  add_byte_moments_blocks(low, high, count, m);
}

void add_rgb_moments_avx2(const std::uint8_t* const planes[6], std::size_t count,
                          LuminanceMoments& m) {
  add_rgb_moments_blocks(planes, count, m);
}
