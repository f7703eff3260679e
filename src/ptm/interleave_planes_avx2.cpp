// Planes to interleaved bytes with the shuffles of byte_interleave_avx2.h.
#include "ptm/byte_interleave_avx2.h"
#include "ptm/interleave_planes.h"

using byte_interleave::byte_masks;
using byte_interleave::interleave3;
using byte_interleave::load16;
using byte_interleave::pair_masks;

std::size_t interleave_lrgb_planes_avx2(const std::uint8_t* const* planes, std::size_t count,
                                        std::uint8_t* six, std::uint8_t* rgb) {
  const std::size_t groups = count / 16;
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t i = 16 * g;
    __m128i p[9];
    for (int k = 0; k < 9; ++k) p[k] = load16(planes[k] + i);
    // Six coefficient bytes per pixel: three streams of byte pairs
    // (a0 a1), (a2 a3), (a4 a5), eight pixels per half.
    interleave3(_mm_unpacklo_epi8(p[0], p[1]), _mm_unpacklo_epi8(p[2], p[3]),
                _mm_unpacklo_epi8(p[4], p[5]), pair_masks, six + 6 * i);
    interleave3(_mm_unpackhi_epi8(p[0], p[1]), _mm_unpackhi_epi8(p[2], p[3]),
                _mm_unpackhi_epi8(p[4], p[5]), pair_masks, six + 6 * i + 48);
    interleave3(p[6], p[7], p[8], byte_masks, rgb + 3 * i);
  }
  return groups * 16;
}
