// AVX-512 row kernels for the packed representation, sixteen pixels per
// step. Sums are finished by transposition within 128-bit lanes and put back
// in pixel order with one permutation; results are clamped in 32 bits and
// narrowed, which gives the same bytes as the 16-bit saturation of the
// per-pixel rules because clamping is monotone.
#include <immintrin.h>

#include <cstdint>

#include "render/evaluate.h"
#include "render/evaluate_rows.h"

namespace {

inline __m512i packed_weights(const LightWeights& weights) {
  const std::int16_t* l = weights.w;
  const __m128i w = _mm_setr_epi16(l[0], l[1], l[2], l[3], l[4], l[5], 0, 0);
  return _mm512_broadcast_i32x4(w);
}

// Sixteen 16-byte groups, four per register (register j holds groups
// 4j .. 4j + 3), to their sums a0 W0 + ... + a5 W5 in group order.
inline __m512i sixteen_sums(__m512i z0, __m512i z1, __m512i z2, __m512i z3, __m512i weights) {
  const __m512i m0 = _mm512_madd_epi16(z0, weights);
  const __m512i m1 = _mm512_madd_epi16(z1, weights);
  const __m512i m2 = _mm512_madd_epi16(z2, weights);
  const __m512i m3 = _mm512_madd_epi16(z3, weights);
  const __m512i s01 =
      _mm512_add_epi32(_mm512_unpacklo_epi32(m0, m1), _mm512_unpackhi_epi32(m0, m1));
  const __m512i s23 =
      _mm512_add_epi32(_mm512_unpacklo_epi32(m2, m3), _mm512_unpackhi_epi32(m2, m3));
  // Lane L now holds the sums of groups L, 4 + L, 8 + L, 12 + L.
  const __m512i sums =
      _mm512_add_epi32(_mm512_unpacklo_epi64(s01, s23), _mm512_unpackhi_epi64(s01, s23));
  const __m512i to_group_order =
      _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  return _mm512_permutexvar_epi32(to_group_order, sums);
}

inline __m512i clamp(__m512i v, int low, int high) {
  return _mm512_min_epi32(_mm512_max_epi32(v, _mm512_set1_epi32(low)), _mm512_set1_epi32(high));
}

void row_rgb_packed(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                    std::uint8_t* out) {
  const std::int16_t* group =
      ptm.packed_rgb + (static_cast<std::size_t>(y) * ptm.width + x0) * packed_rgb_values_per_pixel;
  const __m512i packed = packed_weights(weights);
  int x = 0;
  // Sixteen pixels are 48 channel groups in output byte order.
  for (; x + 16 <= count; x += 16, group += 16 * packed_rgb_values_per_pixel, out += 48) {
    for (int part = 0; part < 3; ++part) {
      const std::int16_t* g = group + part * 128;
      const __m512i sums =
          sixteen_sums(_mm512_loadu_si512(g), _mm512_loadu_si512(g + 32),
                       _mm512_loadu_si512(g + 64), _mm512_loadu_si512(g + 96), packed);
      const __m128i bytes = _mm512_cvtepi32_epi8(clamp(_mm512_srai_epi32(sums, 10), 0, 255));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * part), bytes);
    }
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

void row_lrgb_packed(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                     std::uint8_t* out) {
  const PackedLrgbTexel* texel = ptm.packed_lrgb + static_cast<std::size_t>(y) * ptm.width + x0;
  const __m512i packed = packed_weights(weights);
  // The colour dword (bytes 12..15) of every record of two registers.
  const __m512i colours_low =
      _mm512_setr_epi32(3, 7, 11, 15, 19, 23, 27, 31, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m512i colours_high =
      _mm512_setr_epi32(0, 0, 0, 0, 0, 0, 0, 0, 3, 7, 11, 15, 19, 23, 27, 31);
  // R, G, B of each pixel's dword, twelve bytes per 128-bit lane, then the
  // lanes' first three dwords side by side.
  const __m512i squeeze =
      _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
  const __m512i compact = _mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0, 0, 0, 0);
  const __m512i byte = _mm512_set1_epi32(0xff);
  int x = 0;
  for (; x + 16 <= count; x += 16, texel += 16, out += 48) {
    const __m512i z0 = _mm512_loadu_si512(texel);
    const __m512i z1 = _mm512_loadu_si512(texel + 4);
    const __m512i z2 = _mm512_loadu_si512(texel + 8);
    const __m512i z3 = _mm512_loadu_si512(texel + 12);
    // L2 = sum >> 9 saturated to 16 bits and at least 0.
    const __m512i l2 = clamp(_mm512_srai_epi32(sixteen_sums(z0, z1, z2, z3, packed), 9), 0, 32767);
    const __m512i colour =
        _mm512_mask_blend_epi32(0xff00, _mm512_permutex2var_epi32(z0, colours_low, z1),
                                _mm512_permutex2var_epi32(z2, colours_high, z3));
    // min(255, high half of L2 * (C * 128)); the product fits 31 bits.
    auto channel = [&](int shift) {
      const __m512i c = _mm512_and_si512(_mm512_srli_epi32(colour, shift), byte);
      return _mm512_min_epi32(
          _mm512_srli_epi32(_mm512_mullo_epi32(l2, _mm512_slli_epi32(c, 7)), 16), byte);
    };
    const __m512i rgbx =
        _mm512_or_si512(_mm512_or_si512(channel(0), _mm512_slli_epi32(channel(8), 8)),
                        _mm512_slli_epi32(channel(16), 16));
    const __m512i rgb = _mm512_permutexvar_epi32(compact, _mm512_shuffle_epi8(rgbx, squeeze));
    _mm512_mask_storeu_epi32(out, 0x0fff, rgb);
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

}  // namespace

EvaluateRowFn avx512_row_evaluator(const Ptm& ptm) {
  if (ptm.format == PTM_FORMAT_RGB && ptm.packed_rgb != nullptr) return row_rgb_packed;
  if (ptm.format == PTM_FORMAT_LRGB && ptm.packed_lrgb != nullptr) return row_lrgb_packed;
  return nullptr;
}
