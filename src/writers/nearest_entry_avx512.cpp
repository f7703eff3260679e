// The nearest-entry run for AVX-512: sixteen pixels in one register, one
// vpmaddwd per pair of components with the entry's values broadcast from
// memory; two entries per step keep two independent minimum chains.
#include <immintrin.h>

#include "writers/nearest_entry.h"

namespace {

// The minimum (and below the shift) through the zero-masking form with
// every lane selected: the same instruction, without the unmasked
// intrinsic's "undefined" pass-through operand that GCC 12 warns about.
inline __m512i min32(__m512i a, __m512i b) { return _mm512_maskz_min_epi32(0xffff, a, b); }

template <int Pairs>
inline __m512i entry_key(const __m512i (&f)[Pairs], const NearestTable& table, int e) {
  const std::int32_t* t = table.pair_values + e * Pairs;
  __m512i key = _mm512_set1_epi32(table.offset[e]);
  for (int p = 0; p < Pairs; ++p) {
    key = _mm512_add_epi32(key, _mm512_madd_epi16(f[p], _mm512_set1_epi32(t[p])));
  }
  return key;
}

template <int Pairs>
std::int32_t run(const NearestPixels& pixels, const NearestTable& table, int from, int to,
         std::int32_t best[16]) {
  __m512i f[Pairs];
  for (int p = 0; p < Pairs; ++p) f[p] = _mm512_load_si512(pixels.pair_values[p]);
  __m512i m0 = _mm512_loadu_si512(best);
  __m512i m1 = m0;
  int e = from;
  for (; e + 1 < to; e += 2) {
    m0 = min32(m0, entry_key(f, table, e));
    m1 = min32(m1, entry_key(f, table, e + 1));
  }
  if (e < to) m0 = min32(m0, entry_key(f, table, e));
  const __m512i smallest = min32(m0, m1);
  _mm512_storeu_si512(best, smallest);
  alignas(64) std::int32_t distances[16];
  _mm512_store_si512(distances, _mm512_add_epi32(_mm512_maskz_srai_epi32(0xffff, smallest, 8),
                                                 _mm512_load_si512(pixels.norm)));
  // The halves through memory: the unmasked extraction intrinsics draw the
  // same warning as the minimum.
  const __m256i half =
      _mm256_max_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(distances)),
                       _mm256_load_si256(reinterpret_cast<const __m256i*>(distances + 8)));
  __m128i most = _mm_max_epi32(_mm256_castsi256_si128(half), _mm256_extracti128_si256(half, 1));
  most = _mm_max_epi32(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(1, 0, 3, 2)));
  most = _mm_max_epi32(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(most);
}

}  // namespace

NearestRunFn nearest_run_avx512(int pairs) {
  switch (pairs) {
    case 3:
      return run<3>;
    case 5:
      return run<5>;
    default:
      return nullptr;
  }
}
