// AVX2 conversion of packed LRGB pixels, eight at a time. The arithmetic is
// the scalar rule on eight 32-bit lanes: t = (b - B) * S with wrapping
// multiplication, q = t / 256 truncated toward zero, then saturated to 16
// bits by the signed pack.
#include <immintrin.h>

#include <cstring>

#include "ptm/byte_interleave_avx2.h"
#include "ptm/convert_lrgb_rows.h"

namespace {

// Eight consecutive coefficient bytes starting at byte 8v of a group of
// eight pixels hold coefficients k = (8v + j) mod 6, so the lane pattern of
// scales and biases repeats every three vectors.
struct LanePatterns {
  __m256i scale[3];
  __m256i bias[3];
};

LanePatterns lane_patterns(const std::int32_t* scale_bias) {
  LanePatterns patterns;
  for (int v = 0; v < 3; ++v) {
    alignas(32) std::int32_t scale[8];
    alignas(32) std::int32_t bias[8];
    for (int j = 0; j < 8; ++j) {
      const int k = (8 * v + j) % 6;
      scale[j] = scale_bias[k];
      bias[j] = scale_bias[6 + k];
    }
    patterns.scale[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(scale));
    patterns.bias[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(bias));
  }
  return patterns;
}

// Eight stored bytes to eight coefficients in display units.
inline __m256i convert_eight(const std::uint8_t* bytes, __m256i scale, __m256i bias) {
  const __m256i b = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)));
  const __m256i t = _mm256_mullo_epi32(_mm256_sub_epi32(b, bias), scale);
  // Division by 256 toward zero: add 255 to negative values before the
  // arithmetic shift.
  const __m256i round = _mm256_and_si256(_mm256_srai_epi32(t, 31), _mm256_set1_epi32(255));
  return _mm256_srai_epi32(_mm256_add_epi32(t, round), 8);
}

// Sixteen coefficients as int16 in order (the pack interleaves 128-bit
// lanes; the permutation restores the order).
inline __m256i pack_sixteen(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0b11011000);
}

// The colour of pixels 2m and 2m+1 into dword 3 of each 128-bit lane (bytes
// 12..14, byte 15 zero), from the six colour bytes at `rgb`.
inline __m256i colour_pair(const std::uint8_t* rgb) {
  std::uint64_t bytes;
  std::memcpy(&bytes, rgb, 8);
  const __m256i spread = _mm256_set1_epi64x(static_cast<long long>(bytes));
  const __m256i to_dword3 =
      _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, -1, -1, -1, -1, -1,
                       -1, -1, -1, -1, -1, -1, -1, -1, 3, 4, 5, -1);
  return _mm256_shuffle_epi8(spread, to_dword3);
}

inline void stream_pair(PackedLrgbTexel* out, __m256i coefficients, __m256i colour) {
  _mm256_stream_si256(reinterpret_cast<__m256i*>(out),
                      _mm256_blend_epi32(coefficients, colour, 0b10001000));
}

}  // namespace

std::size_t convert_lrgb_packed_rows_avx2(Ptm& ptm, std::size_t first, std::size_t count,
                                          const std::uint8_t* six, const std::uint8_t* rgb) {
  const LanePatterns patterns = lane_patterns(ptm.scale_bias);
  PackedLrgbTexel* texels = ptm.packed_lrgb + first;
  std::uint8_t* low = ptm.coef_planes[0] + first * 3;
  std::uint8_t* high = ptm.coef_planes[1] + first * 3;
  // Streaming stores need 32-byte aligned pairs of records.
  if (reinterpret_cast<std::uintptr_t>(texels) % 32 != 0) return 0;

  const std::size_t groups = count / 8;
  for (std::size_t g = 0; g < groups;
       ++g, six += 48, rgb += 24, texels += 8, low += 24, high += 24) {
    // The stored bytes into the planes: (a0, a1, a2) and (a3, a4, a5) of
    // each pixel, written four bytes at a time; each store's fourth byte is
    // overwritten by the next pixel's.
    for (int i = 0; i < 8; ++i) {
      std::uint64_t bytes;
      std::memcpy(&bytes, six + 6 * i, 8);
      const auto first_three = static_cast<std::uint32_t>(bytes);
      const auto last_three = static_cast<std::uint32_t>(bytes >> 24);
      std::memcpy(low + 3 * i, &first_three, 4);
      std::memcpy(high + 3 * i, &last_three, 4);
    }

    // 48 coefficients in pixel order, as int16: dword d of the stream holds
    // coefficients 2d and 2d + 1, so pixel i owns dwords 3i .. 3i + 2.
    const __m256i f0 = pack_sixteen(convert_eight(six, patterns.scale[0], patterns.bias[0]),
                                    convert_eight(six + 8, patterns.scale[1], patterns.bias[1]));
    const __m256i f1 = pack_sixteen(convert_eight(six + 16, patterns.scale[2], patterns.bias[2]),
                                    convert_eight(six + 24, patterns.scale[0], patterns.bias[0]));
    const __m256i f2 = pack_sixteen(convert_eight(six + 32, patterns.scale[1], patterns.bias[1]),
                                    convert_eight(six + 40, patterns.scale[2], patterns.bias[2]));

    // Pairs of records: pixel 2m in the low 128-bit lane, 2m + 1 in the high.
    const __m256i pair01 =
        _mm256_permutevar8x32_epi32(f0, _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0));
    const __m256i pair23 = _mm256_blend_epi32(
        _mm256_permutevar8x32_epi32(f0, _mm256_setr_epi32(6, 7, 0, 0, 0, 0, 0, 0)),
        _mm256_permutevar8x32_epi32(f1, _mm256_setr_epi32(0, 0, 0, 0, 1, 2, 3, 0)), 0b11111100);
    const __m256i pair45 = _mm256_blend_epi32(
        _mm256_permutevar8x32_epi32(f1, _mm256_setr_epi32(4, 5, 6, 0, 7, 0, 0, 0)),
        _mm256_permutevar8x32_epi32(f2, _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 1, 0)), 0b11100000);
    const __m256i pair67 =
        _mm256_permutevar8x32_epi32(f2, _mm256_setr_epi32(2, 3, 4, 0, 5, 6, 7, 0));

    stream_pair(texels, pair01, colour_pair(rgb));
    stream_pair(texels + 2, pair23, colour_pair(rgb + 6));
    stream_pair(texels + 4, pair45, colour_pair(rgb + 12));
    stream_pair(texels + 6, pair67, colour_pair(rgb + 18));
  }
  _mm_sfence();
  return groups * 8;
}

namespace {

// Eight stored bytes of one coefficient to eight int16 values, one per
// 32-bit lane: the signed pack's saturation done with min and max.
inline __m256i coefficient_lanes(const std::uint8_t* bytes, std::int32_t scale, std::int32_t bias) {
  const __m256i q = convert_eight(bytes, _mm256_set1_epi32(scale), _mm256_set1_epi32(bias));
  return _mm256_min_epi32(_mm256_max_epi32(q, _mm256_set1_epi32(-32768)), _mm256_set1_epi32(32767));
}

// Two int16 lanes as one dword: `low` in bytes 0..1, `high` in bytes 2..3.
inline __m256i word_pair(__m256i low, __m256i high) {
  return _mm256_or_si256(_mm256_and_si256(low, _mm256_set1_epi32(0xFFFF)),
                         _mm256_slli_epi32(high, 16));
}

inline __m256i byte_lanes(const std::uint8_t* bytes) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes)));
}

}  // namespace

std::size_t convert_lrgb_planes_packed_avx2(Ptm& ptm, std::size_t first, std::size_t count,
                                            const std::uint8_t* const* planes) {
  PackedLrgbTexel* texels = ptm.packed_lrgb + first;
  if (reinterpret_cast<std::uintptr_t>(texels) % 32 != 0) return 0;
  std::uint8_t* low = ptm.coef_planes[0] + first * 3;
  std::uint8_t* high = ptm.coef_planes[1] + first * 3;
  const std::int32_t* sb = ptm.scale_bias;
  const std::size_t groups = count / 16;
  for (std::size_t g = 0; g < groups; ++g) {
    const std::size_t i = 16 * g;
    // The stored bytes: planes 0..2 and 3..5 three bytes per pixel.
    byte_interleave::interleave3(
        byte_interleave::load16(planes[0] + i), byte_interleave::load16(planes[1] + i),
        byte_interleave::load16(planes[2] + i), byte_interleave::byte_masks, low + 3 * i);
    byte_interleave::interleave3(
        byte_interleave::load16(planes[3] + i), byte_interleave::load16(planes[4] + i),
        byte_interleave::load16(planes[5] + i), byte_interleave::byte_masks, high + 3 * i);
    for (std::size_t j = i; j < i + 16; j += 8) {
      // One lane per pixel (pixels j..j+3 in the low 128 bits, j+4..j+7 in
      // the high): the four dwords of each record.
      const __m256i d01 = word_pair(coefficient_lanes(planes[0] + j, sb[0], sb[6]),
                                    coefficient_lanes(planes[1] + j, sb[1], sb[7]));
      const __m256i d23 = word_pair(coefficient_lanes(planes[2] + j, sb[2], sb[8]),
                                    coefficient_lanes(planes[3] + j, sb[3], sb[9]));
      const __m256i d45 = word_pair(coefficient_lanes(planes[4] + j, sb[4], sb[10]),
                                    coefficient_lanes(planes[5] + j, sb[5], sb[11]));
      const __m256i colour =
          _mm256_or_si256(_mm256_or_si256(byte_lanes(planes[6] + j),
                                          _mm256_slli_epi32(byte_lanes(planes[7] + j), 8)),
                          _mm256_slli_epi32(byte_lanes(planes[8] + j), 16));
      // A 4 x 4 dword transpose in each 128-bit half: rec n holds pixel
      // j + n in its low half and pixel j + 4 + n in its high half.
      const __m256i a = _mm256_unpacklo_epi32(d01, d23);
      const __m256i b = _mm256_unpacklo_epi32(d45, colour);
      const __m256i c = _mm256_unpackhi_epi32(d01, d23);
      const __m256i d = _mm256_unpackhi_epi32(d45, colour);
      const __m256i rec0 = _mm256_unpacklo_epi64(a, b);
      const __m256i rec1 = _mm256_unpackhi_epi64(a, b);
      const __m256i rec2 = _mm256_unpacklo_epi64(c, d);
      const __m256i rec3 = _mm256_unpackhi_epi64(c, d);
      auto* out = reinterpret_cast<__m256i*>(texels + j);
      _mm256_stream_si256(out, _mm256_permute2x128_si256(rec0, rec1, 0x20));
      _mm256_stream_si256(out + 1, _mm256_permute2x128_si256(rec2, rec3, 0x20));
      _mm256_stream_si256(out + 2, _mm256_permute2x128_si256(rec0, rec1, 0x31));
      _mm256_stream_si256(out + 3, _mm256_permute2x128_si256(rec2, rec3, 0x31));
    }
  }
  _mm_sfence();
  return groups * 16;
}
