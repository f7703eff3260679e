// Interleaving three streams of 16-byte vectors with byte shuffles, for the
// AVX2 translation units: output byte J of the 48 that three vectors x, y,
// z make belongs to element g = J / e (e = element size), which is element
// g / 3 of stream g % 3. Each output vector is the OR of three shuffles,
// one per stream, whose masks pick that stream's bytes and zero the rest
// (mask byte 0x80).
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>

namespace byte_interleave {

using Masks = std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3>;  // [output][stream][byte]

constexpr Masks interleave_masks(int element) {
  Masks masks{};
  for (int out = 0; out < 3; ++out) {
    for (int j = 0; j < 16; ++j) {
      const int byte = 16 * out + j;
      const int g = byte / element;
      for (int stream = 0; stream < 3; ++stream) {
        masks[out][stream][j] =
            g % 3 == stream ? static_cast<std::uint8_t>(g / 3 * element + byte % element) : 0x80;
      }
    }
  }
  return masks;
}

constexpr Masks byte_masks = interleave_masks(1);
constexpr Masks pair_masks = interleave_masks(2);

inline __m128i mask(const Masks& masks, int out, int stream) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks[out][stream].data()));
}

// Writes the 48 interleaved bytes of x, y, z to `out`.
inline void interleave3(__m128i x, __m128i y, __m128i z, const Masks& masks, std::uint8_t* out) {
  for (int o = 0; o < 3; ++o) {
    const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(x, mask(masks, o, 0)),
                                                _mm_shuffle_epi8(y, mask(masks, o, 1))),
                                   _mm_shuffle_epi8(z, mask(masks, o, 2)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * o), v);
  }
}

inline __m128i load16(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace byte_interleave
