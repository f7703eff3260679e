// SSE2 row kernels for the packed representation, four pixels per step: the
// baseline every x86-64 processor has. SSE2 has the 16-bit multiply-add
// (pmaddwd) and the saturating packs the packed rules are built on, but no
// byte shuffle or horizontal add, so sums are finished by transposition.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "render/evaluate.h"
#include "render/evaluate_rows.h"

namespace {

inline __m128i packed_weights(const LightWeights& weights) {
  const std::int16_t* w = weights.w;
  return _mm_setr_epi16(w[0], w[1], w[2], w[3], w[4], w[5], 0, 0);
}

inline __m128i load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// Four 16-byte groups (a0..a5 and two values the zero weights ignore) to
// their four sums a0 W0 + ... + a5 W5: pmaddwd leaves three partial sums per
// group, and a 4 x 4 transposition adds them lane-wise.
inline __m128i four_sums(__m128i g0, __m128i g1, __m128i g2, __m128i g3, __m128i weights) {
  const __m128i m0 = _mm_madd_epi16(g0, weights);
  const __m128i m1 = _mm_madd_epi16(g1, weights);
  const __m128i m2 = _mm_madd_epi16(g2, weights);
  const __m128i m3 = _mm_madd_epi16(g3, weights);
  const __m128i s01 = _mm_add_epi32(_mm_unpacklo_epi32(m0, m1), _mm_unpackhi_epi32(m0, m1));
  const __m128i s23 = _mm_add_epi32(_mm_unpacklo_epi32(m2, m3), _mm_unpackhi_epi32(m2, m3));
  return _mm_add_epi32(_mm_unpacklo_epi64(s01, s23), _mm_unpackhi_epi64(s01, s23));
}

// Colour bytes 12..14 of a record as int16 lanes 0..2, lane 3 zero.
inline __m128i colour_words(__m128i texel) {
  return _mm_unpacklo_epi8(_mm_srli_si128(texel, 12), _mm_setzero_si128());
}

void row_lrgb_packed(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                     std::uint8_t* out) {
  const PackedLrgbTexel* texel = ptm.packed_lrgb + static_cast<std::size_t>(y) * ptm.width + x0;
  const __m128i packed = packed_weights(weights);
  int x = 0;
  // Each pixel is stored as four bytes whose fourth the next pixel
  // overwrites, so a group is only taken while a pixel follows it.
  for (; x + 4 < count; x += 4, texel += 4, out += 12) {
    const __m128i t0 = load(texel);
    const __m128i t1 = load(texel + 1);
    const __m128i t2 = load(texel + 2);
    const __m128i t3 = load(texel + 3);
    const __m128i shifted = _mm_srai_epi32(four_sums(t0, t1, t2, t3, packed), 9);
    const __m128i l2 = _mm_max_epi16(_mm_packs_epi32(shifted, shifted), _mm_setzero_si128());
    const __m128i pairs = _mm_unpacklo_epi16(l2, l2);
    const __m128i l01 = _mm_unpacklo_epi32(pairs, pairs);  // L0 x4, L1 x4
    const __m128i l23 = _mm_unpackhi_epi32(pairs, pairs);  // L2 x4, L3 x4
    const __m128i c01 = _mm_unpacklo_epi64(colour_words(t0), colour_words(t1));
    const __m128i c23 = _mm_unpacklo_epi64(colour_words(t2), colour_words(t3));
    const __m128i rgb01 = _mm_mulhi_epi16(l01, _mm_slli_epi16(c01, 7));
    const __m128i rgb23 = _mm_mulhi_epi16(l23, _mm_slli_epi16(c23, 7));
    __m128i bytes = _mm_packus_epi16(rgb01, rgb23);  // R G B 0 per pixel
    for (int i = 0; i < 4; ++i, bytes = _mm_srli_si128(bytes, 4)) {
      const std::int32_t rgbx = _mm_cvtsi128_si32(bytes);
      std::memcpy(out + 3 * i, &rgbx, 4);
    }
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

void row_rgb_packed(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                    std::uint8_t* out) {
  const std::int16_t* group =
      ptm.packed_rgb + (static_cast<std::size_t>(y) * ptm.width + x0) * packed_rgb_values_per_pixel;
  const __m128i packed = packed_weights(weights);
  int x = 0;
  // Four pixels are twelve channel groups in output byte order.
  for (; x + 4 <= count; x += 4, group += 4 * packed_rgb_values_per_pixel, out += 12) {
    __m128i sums[3];
    for (int part = 0; part < 3; ++part) {
      const std::int16_t* g = group + part * 32;
      sums[part] =
          _mm_srai_epi32(four_sums(load(g), load(g + 8), load(g + 16), load(g + 24), packed), 10);
    }
    const __m128i words = _mm_packs_epi32(sums[0], sums[1]);
    const __m128i last = _mm_packs_epi32(sums[2], sums[2]);
    const __m128i bytes = _mm_packus_epi16(words, last);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
    const std::int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(bytes, 8));
    std::memcpy(out + 8, &tail, 4);
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

}  // namespace

EvaluateRowFn sse2_row_evaluator(const Ptm& ptm) {
  if (ptm.format == PTM_FORMAT_RGB && ptm.packed_rgb != nullptr) return row_rgb_packed;
  if (ptm.format == PTM_FORMAT_LRGB && ptm.packed_lrgb != nullptr) return row_lrgb_packed;
  return nullptr;
}
