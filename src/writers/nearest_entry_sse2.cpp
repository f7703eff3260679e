// The nearest-entry run for SSE2, the baseline of every x86-64 processor:
// sixteen pixels in four registers, one pmaddwd per pair of components.
// SSE2 has no 32-bit minimum, so the smaller key is chosen by a compare and
// a mask.
#include <emmintrin.h>

#include "writers/nearest_entry.h"

namespace {

inline __m128i smaller(__m128i a, __m128i b) {
  const __m128i b_smaller = _mm_cmpgt_epi32(a, b);
  return _mm_or_si128(_mm_and_si128(b_smaller, b), _mm_andnot_si128(b_smaller, a));
}

template <int Pairs>
void run(const NearestPixels& pixels, const NearestTable& table, int from, int to,
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
  for (int r = 0; r < 4; ++r) _mm_storeu_si128(reinterpret_cast<__m128i*>(best + 4 * r), m[r]);
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
