// The nearest-entry run for AVX2: sixteen pixels in two registers, one
// vpmaddwd per pair of components, the entry's values broadcast from memory.
#include <immintrin.h>

#include "writers/nearest_entry.h"

namespace {

template <int Pairs>
std::int32_t run(const NearestPixels& pixels, const NearestTable& table, int from, int to,
         std::int32_t best[16]) {
  __m256i f[Pairs][2];
  for (int p = 0; p < Pairs; ++p) {
    for (int r = 0; r < 2; ++r) {
      f[p][r] =
          _mm256_load_si256(reinterpret_cast<const __m256i*>(pixels.pair_values[p] + 8 * r));
    }
  }
  __m256i m0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(best));
  __m256i m1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(best + 8));
  for (int e = from; e < to; ++e) {
    const std::int32_t* t = table.pair_values + e * Pairs;
    __m256i key0 = _mm256_set1_epi32(table.offset[e]);
    __m256i key1 = key0;
    for (int p = 0; p < Pairs; ++p) {
      const __m256i entry = _mm256_set1_epi32(t[p]);
      key0 = _mm256_add_epi32(key0, _mm256_madd_epi16(f[p][0], entry));
      key1 = _mm256_add_epi32(key1, _mm256_madd_epi16(f[p][1], entry));
    }
    m0 = _mm256_min_epi32(m0, key0);
    m1 = _mm256_min_epi32(m1, key1);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(best), m0);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(best + 8), m1);
  const auto norm = [&](int r) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(pixels.norm + 8 * r));
  };
  const __m256i distance = _mm256_max_epi32(_mm256_add_epi32(_mm256_srai_epi32(m0, 8), norm(0)),
                                            _mm256_add_epi32(_mm256_srai_epi32(m1, 8), norm(1)));
  __m128i most = _mm_max_epi32(_mm256_castsi256_si128(distance),
                               _mm256_extracti128_si256(distance, 1));
  most = _mm_max_epi32(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(1, 0, 3, 2)));
  most = _mm_max_epi32(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_cvtsi128_si32(most);
}

}  // namespace

NearestRunFn nearest_run_avx2(int pairs) {
  switch (pairs) {
    case 3:
      return run<3>;
    case 5:
      return run<5>;
    default:
      return nullptr;
  }
}
