// AVX2 row kernels, eight pixels per step. Each follows the fixed-point
// rules of the per-pixel evaluators exactly; the leftover pixels of a row go
// through the per-pixel evaluator itself.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "render/evaluate.h"
#include "render/evaluate_rows.h"

namespace {

// The six light weights of each 128-bit lane, as pmaddwd multiplies them
// against a0..a5 and two zero pads (or a packed LRGB record's colour, which
// must not count): W0..W5, 0, 0.
inline __m256i packed_weights(const LightWeights& weights) {
  const std::int16_t* l = weights.w;
  std::int16_t w[8] = {l[0], l[1], l[2], l[3], l[4], l[5], 0, 0};
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
}

inline __m256i load_two(const void* low, const void* high) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(static_cast<const __m128i*>(low))),
      _mm_loadu_si128(static_cast<const __m128i*>(high)), 1);
}

// Eight 16-byte groups, lane 0 holding groups 0..3 and lane 1 groups 4..7,
// to their eight sums a0 W0 + ... + a5 W5 in that order. pmaddwd pairs the
// products; two rounds of horizontal adds finish each group (the sums wrap
// in 32 bits, as the scalar sum does).
inline __m256i group_sums(__m256i g04, __m256i g15, __m256i g26, __m256i g37, __m256i weights) {
  const __m256i h01 =
      _mm256_hadd_epi32(_mm256_madd_epi16(g04, weights), _mm256_madd_epi16(g15, weights));
  const __m256i h23 =
      _mm256_hadd_epi32(_mm256_madd_epi16(g26, weights), _mm256_madd_epi16(g37, weights));
  return _mm256_hadd_epi32(h01, h23);
}

// 24 bytes of the low half of `bytes` lanes interleaved: lane 0 holds the
// even-numbered outputs, lane 1 the odd-numbered ones.
inline void store_interleaved_24(std::uint8_t* out, __m256i bytes) {
  const __m128i even = _mm256_castsi256_si128(bytes);
  const __m128i odd = _mm256_extracti128_si256(bytes, 1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(even, odd));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi8(even, odd));
}

// Packed LRGB: L2 = sum >> 9 saturated to int16 and at least 0; each
// colour byte C gives min(255, high half of L2 * (C * 128)).
void row_lrgb_packed(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                     std::uint8_t* out) {
  const PackedLrgbTexel* texel = ptm.packed_lrgb + static_cast<std::size_t>(y) * ptm.width + x0;
  const __m256i packed = packed_weights(weights);
  // Colour bytes 12..14 of a record as int16 lanes 0..2 (lane 3 zero), for
  // records in both 128-bit lanes.
  const __m256i colour_words =
      _mm256_setr_epi8(12, -1, 13, -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 12, -1, 13,
                       -1, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  // R, G, B of each (R, G, B, 0) quadruple, packed to 12 bytes per lane.
  const __m256i squeeze = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                           0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int x = 0;
  for (; x + 8 <= count; x += 8, texel += 8, out += 24) {
    const __m256i t04 = load_two(texel, texel + 4);
    const __m256i t15 = load_two(texel + 1, texel + 5);
    const __m256i t26 = load_two(texel + 2, texel + 6);
    const __m256i t37 = load_two(texel + 3, texel + 7);
    const __m256i sums = group_sums(t04, t15, t26, t37, packed);  // pixels 0..3 | 4..7
    // L2 of pixels 0..3 | 4..7 as int16, each repeated over four lanes.
    const __m256i shifted = _mm256_srai_epi32(sums, 9);
    const __m256i l2 =
        _mm256_max_epi16(_mm256_packs_epi32(shifted, shifted), _mm256_setzero_si256());
    const __m256i pairs = _mm256_unpacklo_epi16(l2, l2);        // L0 L0 L1 L1 L2 L2 L3 L3
    const __m256i l2_01 = _mm256_unpacklo_epi32(pairs, pairs);  // L0 x4, L1 x4 | L4, L5
    const __m256i l2_23 = _mm256_unpackhi_epi32(pairs, pairs);  // L2 x4, L3 x4 | L6, L7
    // Colours as int16 (R, G, B, 0) times 128, in the same pixel groups.
    const __m256i c01 = _mm256_unpacklo_epi64(_mm256_shuffle_epi8(t04, colour_words),
                                              _mm256_shuffle_epi8(t15, colour_words));
    const __m256i c23 = _mm256_unpacklo_epi64(_mm256_shuffle_epi8(t26, colour_words),
                                              _mm256_shuffle_epi8(t37, colour_words));
    const __m256i rgb01 = _mm256_mulhi_epi16(l2_01, _mm256_slli_epi16(c01, 7));
    const __m256i rgb23 = _mm256_mulhi_epi16(l2_23, _mm256_slli_epi16(c23, 7));
    // Unsigned saturation is the min(255, ...); lane 0 pixels 0..3, lane 1 4..7.
    const __m256i bytes = _mm256_shuffle_epi8(_mm256_packus_epi16(rgb01, rgb23), squeeze);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
    const __m128i high = _mm256_extracti128_si256(bytes, 1);
    std::memcpy(out + 12, &high, 12);
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

// Packed RGB: per channel sum >> 10, saturated to int16, then to 0..255.
void row_rgb_packed(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                    std::uint8_t* out) {
  const std::int16_t* groups =
      ptm.packed_rgb + (static_cast<std::size_t>(y) * ptm.width + x0) * packed_rgb_values_per_pixel;
  const __m256i packed = packed_weights(weights);
  int x = 0;
  // Eight pixels are 24 channel groups, g = 3 * pixel + channel, which is
  // also the order of the output bytes.
  for (; x + 8 <= count; x += 8, groups += 8 * packed_rgb_values_per_pixel, out += 24) {
    __m256i sums[3];
    for (int part = 0; part < 3; ++part) {
      const std::int16_t* g = groups + part * 64;  // groups 8 part .. 8 part + 7
      // Lane 0 the even groups, lane 1 the odd ones.
      sums[part] = group_sums(load_two(g, g + 8), load_two(g + 16, g + 24),
                              load_two(g + 32, g + 40), load_two(g + 48, g + 56), packed);
    }
    // sums[part] lane 0: groups 8p, 8p+2, 8p+4, 8p+6; lane 1: 8p+1, 8p+3, ...
    const __m256i words =
        _mm256_packs_epi32(_mm256_srai_epi32(sums[0], 10), _mm256_srai_epi32(sums[1], 10));
    const __m256i last = _mm256_packs_epi32(_mm256_srai_epi32(sums[2], 10), _mm256_setzero_si256());
    store_interleaved_24(out, _mm256_packus_epi16(words, last));
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

// W0..W4 each broadcast to all eight lanes, made once per row.
struct WideWeights {
  __m256i w[5];
};

inline WideWeights wide_weights(const LightWeights& weights) {
  WideWeights wide;
  for (int k = 0; k < 5; ++k) wide.w[k] = _mm256_set1_epi32(weights.w[k]);
  return wide;
}

// Wide coefficients: six int32 per pixel. Eight pixels' coefficients are
// transposed so that register k holds coefficient k of pixels 0..3 in lane
// 0 and 4..7 in lane 1; each product is then one lane-wise multiply.
inline __m256i wide_sums(const std::int32_t* p, const WideWeights& weights) {
  __m256i low[4];   // a0..a3 of pixels i and i + 4
  __m256i high[4];  // a4, a5 of pixels i and i + 4
  for (int i = 0; i < 4; ++i) {
    low[i] = load_two(p + 6 * i, p + 6 * (i + 4));
    high[i] = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 6 * i + 4))),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 6 * (i + 4) + 4)), 1);
  }
  // 4 x 4 transposes within each 128-bit lane.
  const __m256i t01lo = _mm256_unpacklo_epi32(low[0], low[1]);  // a0 p0 a0 p1 a1 p0 a1 p1
  const __m256i t23lo = _mm256_unpacklo_epi32(low[2], low[3]);
  const __m256i t01hi = _mm256_unpackhi_epi32(low[0], low[1]);  // a2, a3
  const __m256i t23hi = _mm256_unpackhi_epi32(low[2], low[3]);
  const __m256i h01 = _mm256_unpacklo_epi32(high[0], high[1]);  // a4 p0 a4 p1 a5 p0 a5 p1
  const __m256i h23 = _mm256_unpacklo_epi32(high[2], high[3]);
  const __m256i a[6] = {_mm256_unpacklo_epi64(t01lo, t23lo), _mm256_unpackhi_epi64(t01lo, t23lo),
                        _mm256_unpacklo_epi64(t01hi, t23hi), _mm256_unpackhi_epi64(t01hi, t23hi),
                        _mm256_unpacklo_epi64(h01, h23),     _mm256_unpackhi_epi64(h01, h23)};
  // a5 is stored times 16384 and enters unweighted.
  __m256i sum = a[5];
  for (int k = 0; k < 5; ++k) {
    sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(a[k], weights.w[k]));
  }
  return _mm256_srai_epi32(sum, 14);
}

// Three int32 vectors of eight channel values (R, G, B of pixels 0..3 in
// lane 0 and 4..7 in lane 1), each within 0..255, as 24 interleaved bytes.
inline void store_planar_rgb(std::uint8_t* out, __m256i r, __m256i g, __m256i b) {
  const __m256i rg = _mm256_packus_epi32(r, g);                       // R0-3 G0-3 | R4-7 G4-7
  const __m256i b0 = _mm256_packus_epi32(b, _mm256_setzero_si256());  // B0-3 0    | B4-7 0
  const __m256i planar = _mm256_packus_epi16(rg, b0);                 // R0-3 G0-3 B0-3 0000 | ...
  const __m256i interleave = _mm256_setr_epi8(0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1,
                                              0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1);
  const __m256i bytes = _mm256_shuffle_epi8(planar, interleave);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
  const __m128i high = _mm256_extracti128_si256(bytes, 1);
  std::memcpy(out + 12, &high, 12);
}

inline __m256i clamp_byte(__m256i v) {
  return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// Wide RGB keeps its channels in three arrays whose addresses differ by
// large powers of two; reading all three side by side makes them contend
// for the same memory banks. So each channel of a stretch of the row is
// evaluated in its own pass, into a small planar buffer, and the stretch is
// interleaved afterwards.
void row_rgb_wide(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                  std::uint8_t* out) {
  constexpr int stretch = 1024;
  alignas(32) std::uint8_t planar[3][stretch];
  const WideWeights wide = wide_weights(weights);
  const std::size_t first = static_cast<std::size_t>(y) * ptm.width + x0;
  int x = 0;
  while (count - x >= 8) {
    const int n = std::min(stretch, (count - x) / 8 * 8);
    for (int c = 0; c < 3; ++c) {
      const std::int32_t* p = ptm.coef_int[c] + (first + x) * 6;
      for (int i = 0; i < n; i += 8, p += 48) {
        const __m256i v = clamp_byte(wide_sums(p, wide));  // pixels i..i+3 | i+4..i+7
        const __m128i words =
            _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(planar[c] + i), _mm_packus_epi16(words, words));
      }
    }
    for (int i = 0; i < n; i += 8, out += 24) {
      const __m256i r =
          _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(planar[0] + i)));
      const __m256i g =
          _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(planar[1] + i)));
      const __m256i b =
          _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(planar[2] + i)));
      store_planar_rgb(out, r, g, b);
    }
    x += n;
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

inline __m256i load_eight_bytes(const std::uint8_t* bytes) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)));
}

// Wide LRGB: L = sum >> 14, at least 0, no upper clamp; channel =
// min(255, (C * L) >> 8).
void row_lrgb_wide(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
                   std::uint8_t* out) {
  const std::size_t first = static_cast<std::size_t>(y) * ptm.width + x0;
  const __m256i max_byte = _mm256_set1_epi32(255);
  const WideWeights wide = wide_weights(weights);
  int x = 0;
  for (; x + 8 <= count; x += 8, out += 24) {
    const std::size_t pixel = first + static_cast<std::size_t>(x);
    const __m256i l =
        _mm256_max_epi32(wide_sums(ptm.lum_coef_int + pixel * 6, wide), _mm256_setzero_si256());
    auto channel = [&](const std::uint8_t* plane) {
      return _mm256_min_epi32(
          _mm256_srai_epi32(_mm256_mullo_epi32(load_eight_bytes(plane + pixel), l), 8), max_byte);
    };
    store_planar_rgb(out, channel(ptm.color_planes[0]), channel(ptm.color_planes[1]),
                     channel(ptm.color_planes[2]));
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

// Truncation toward zero and clamping to 0..255 of a float result, as the
// scalar evaluator does it (compared in floating point first).
inline __m256i float_to_byte(__m256 value) {
  const __m256 clamped =
      _mm256_min_ps(_mm256_max_ps(value, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
  return _mm256_cvttps_epi32(clamped);
}

// Wide LUM: Y = sum >> 14 clamped to 0..255, then each output channel is a
// row of the colour matrix applied to (P0, Y, P2, 1) in single precision,
// in the evaluator's order of operations.
void row_lum(const Ptm& ptm, const LightWeights& weights, int x0, int y, int count,
             std::uint8_t* out) {
  const std::size_t first = static_cast<std::size_t>(y) * ptm.width + x0;
  const float* m = ptm.color_matrix;
  const WideWeights wide = wide_weights(weights);
  int x = 0;
  for (; x + 8 <= count; x += 8, out += 24) {
    const std::size_t pixel = first + static_cast<std::size_t>(x);
    const __m256 lum =
        _mm256_cvtepi32_ps(clamp_byte(wide_sums(ptm.lum_coef_int + pixel * 6, wide)));
    const __m256 p0 = _mm256_cvtepi32_ps(load_eight_bytes(ptm.color_planes[0] + pixel));
    const __m256 p2 = _mm256_cvtepi32_ps(load_eight_bytes(ptm.color_planes[2] + pixel));
    auto row = [&](int i) {
      __m256 v = _mm256_mul_ps(_mm256_set1_ps(m[4 * i]), p0);
      v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_set1_ps(m[4 * i + 1]), lum));
      v = _mm256_add_ps(v, _mm256_mul_ps(_mm256_set1_ps(m[4 * i + 2]), p2));
      return float_to_byte(_mm256_add_ps(v, _mm256_set1_ps(m[4 * i + 3])));
    };
    store_planar_rgb(out, row(0), row(1), row(2));
  }
  evaluate_rest_of_row(ptm, weights, x0 + x, x0 + count, y, out);
}

}  // namespace

EvaluateRowFn avx2_row_evaluator(const Ptm& ptm) {
  switch (ptm.format) {
    case PTM_FORMAT_RGB:
      return uses_packed(ptm) ? row_rgb_packed : row_rgb_wide;
    case PTM_FORMAT_LRGB:
      return uses_packed(ptm) ? row_lrgb_packed : row_lrgb_wide;
    case PTM_FORMAT_LUM:
      return row_lum;
    default:
      return nullptr;
  }
}
