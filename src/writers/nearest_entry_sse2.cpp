// The nearest-entry run for SSE2, the baseline of every x86-64 processor:
// sixteen pixels in four registers, one pmaddwd per pair of components.
// SSE2 has no 32-bit minimum, so the smaller key is chosen by a compare and
// a mask.
#include <emmintrin.h>

#include "writers/nearest_entry.h"

namespace {

inline __m128i select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}
inline __m128i smaller(__m128i a, __m128i b) { return select(_mm_cmpgt_epi32(a, b), b, a); }
inline __m128i larger(__m128i a, __m128i b) { return select(_mm_cmpgt_epi32(a, b), a, b); }

template <int Pairs>
std::int32_t run(const NearestPixels& pixels, const NearestTable& table, int from, int to,
         std::int32_t best[16]) {
  __m128i f[Pairs][4];
  for (int p = 0; p < Pairs; ++p) {
    for (int r = 0; r < 4; ++r) {
      f[p][r] = _mm_load_si128(reinterpret_cast<const __m128i*>(pixels.pair_values[p] + 4 * r));
    }
  }
  __m128i m[4];
  for (int r = 0; r < 4; ++r) m[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(best + 4 * r));
  for (int e = from; e < to; ++e) {
    const std::int32_t* t = table.pair_values + e * Pairs;
    __m128i key[4];
    for (int r = 0; r < 4; ++r) key[r] = _mm_set1_epi32(table.offset[e]);
    for (int p = 0; p < Pairs; ++p) {
      const __m128i entry = _mm_set1_epi32(t[p]);
      for (int r = 0; r < 4; ++r) key[r] = _mm_add_epi32(key[r], _mm_madd_epi16(f[p][r], entry));
    }
    for (int r = 0; r < 4; ++r) m[r] = smaller(m[r], key[r]);
  }
  __m128i distance[4];
  for (int r = 0; r < 4; ++r) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(best + 4 * r), m[r]);
    const __m128i norm = _mm_load_si128(reinterpret_cast<const __m128i*>(pixels.norm + 4 * r));
    distance[r] = _mm_add_epi32(_mm_srai_epi32(m[r], 8), norm);
  }
  __m128i most = larger(larger(distance[0], distance[1]), larger(distance[2], distance[3]));
  most = larger(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(1, 0, 3, 2)));
  most = larger(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(most);
}

}  // namespace

NearestRunFn nearest_run_sse2(int pairs) {
  switch (pairs) {
    case 3:
      return run<3>;
    case 5:
      return run<5>;
    default:
      return nullptr;
  }
}
