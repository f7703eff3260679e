// Byte moments with AVX-512: 64 pixels per step.
//
// A plane pair stores three bytes per pixel, so 64 pixels are 192 bytes of
// each plane, three registers. Byte permutes (vpermt2b and vpermb, VBMI)
// gather coefficient k of all 64 pixels into one register. VNNI's vpdpbusd then multiplies unsigned
// bytes by signed bytes and adds each group of four products to a 32-bit lane: with the second
// factor taken as y_j - 128 (its top bit flipped), one instruction adds 64 products y_i (y_j -
// 128), and sum y_i y_j = sum y_i (y_j - 128) + 128 sum y_i. The byte sums come from vpsadbw
// against zero.
//
// A lane gains at most 4 * 255 * 128 = 130560 a step, so lanes are moved
// into 64-bit totals every 4096 steps, well before 2^31.
//
// RGB maps: y = 30 R + 59 G + 11 B needs 15 bits. Byte pairs (R, G) times
// (30, 59) by vpmaddubsw (at most 22695, no saturation) plus 11 B give y
// in 16-bit lanes, centred as y' = y - 12750 (|y'| <= 12750); vpdpwssd adds
// pairs of products y'_i y'_j to 32-bit lanes, at most 6.5e8 a step of two
// registers, so the lanes go into 64-bit totals every three steps. The
// centring is undone at the end: sum y_i y_j = sum y'_i y'_j + c sum y'_i +
// c sum y'_j + N c^2 with c = 12750.
#include <immintrin.h>

#include <cstdint>

#include "analysis/luminance_moments_kernels.h"

namespace {

constexpr int pixels_per_step = 64;
constexpr int steps_per_flush = 4096;
constexpr int rgb_centre = 12750;
constexpr int rgb_steps_per_flush = 3;

// Gathering byte 3p + k (p = 0..63) of the 192 bytes r0, r1, r2 takes two
// permutes: vpermt2b picks the bytes below 128 from the pair (r0, r1), then
// a merge-masked vpermb writes the others (128 .. 191, all of them in r2)
// over the rest. The bytes 3p + k below 128 are those of p < 43 - (k == 2).
struct GatherTable {
  std::uint8_t from_pair[3][pixels_per_step];
  std::uint8_t from_third[3][pixels_per_step];
  std::uint64_t third[3];
};

constexpr GatherTable make_gather_table() {
  GatherTable t{};
  for (int k = 0; k < 3; ++k) {
    for (int p = 0; p < pixels_per_step; ++p) {
      const int byte = 3 * p + k;
      if (byte < 128) {
        t.from_pair[k][p] = static_cast<std::uint8_t>(byte);
      } else {
        t.from_third[k][p] = static_cast<std::uint8_t>(byte - 128);
        t.third[k] |= std::uint64_t{1} << p;
      }
    }
  }
  return t;
}

alignas(64) constexpr GatherTable gather_table = make_gather_table();

struct Gather {
  __m512i from_pair;
  __m512i from_third;
  __mmask64 third;
};

Gather make_gather(int k) {
  return {_mm512_load_si512(gather_table.from_pair[k]),
          _mm512_load_si512(gather_table.from_third[k]), gather_table.third[k]};
}

inline __m512i gather(const Gather& g, __m512i r0, __m512i r1, __m512i r2) {
  const __m512i below = _mm512_permutex2var_epi8(r0, g.from_pair, r1);
  return _mm512_mask_permutexvar_epi8(below, g.third, g.from_third, r2);
}

// The total of a register's lanes of type Lane, widened to Total, taken
// once per flush. (Stored and added in scalars: GCC 12's reduction
// intrinsics warn about their own undefined temporaries.)
template <typename Lane, typename Total>
Total lane_total(__m512i lanes) {
  alignas(64) Lane values[64 / sizeof(Lane)];
  _mm512_store_si512(values, lanes);
  Total total = 0;
  for (const Lane value : values) total += value;
  return total;
}

// Adds the 32-bit lanes of `lanes` to the 64-bit lanes of `total`: each
// 64-bit lane holds two, whose signs the arithmetic shifts extend. (Vector
// operators rather than the shift intrinsics, which make GCC 12 warn about
// their own undefined temporaries.)
using Int64Lanes = std::int64_t __attribute__((vector_size(64)));

inline __m512i add_widened(__m512i total, __m512i lanes) {
  const Int64Lanes pairs = reinterpret_cast<Int64Lanes>(lanes);
  const Int64Lanes low = (pairs << 32) >> 32;
  const Int64Lanes high = pairs >> 32;
  return reinterpret_cast<__m512i>(reinterpret_cast<Int64Lanes>(total) + low + high);
}

// The byte kernel works through a map in chunks of chunk_steps steps: a
// first pass gathers each coefficient of the chunk's pixels into a buffer
// (and takes the byte sums), a second multiplies them from there. Split so,
// each pass keeps its own values in registers: the products' 21
// accumulators, the six coefficients of a step and the flip constant are 28
// of the 32 vector registers, leaving no room for the six sums, the six
// permute indices and the three plane registers of the gathering, which
// then spilled to the stack in the loop. 16 steps are 6 KiB of gathered
// bytes and 6 KiB of map bytes, well inside the 32 KiB L1 data cache; of
// the chunk lengths tried (2 to 32 steps) 16 ran fastest on a map in
// memory.
constexpr int chunk_steps = 16;
static_assert(steps_per_flush % chunk_steps == 0);

using GatheredChunk = std::uint8_t[chunk_steps][6][pixels_per_step];

// The 64-bit byte sums (vpsadbw against zero adds eight bytes into each
// 64-bit lane: nothing to flush) and the 32-bit product lanes of one flush.
struct ByteBlockTotals {
  __m512i sums[6];
  __m512i products[moment_pair_count];
};

// First pass: coefficient k of the 64 pixels of step s to gathered[s][k],
// and its sum.
[[gnu::noinline]] void gather_byte_chunk(const std::uint8_t* low, const std::uint8_t* high,
                                         int steps, GatheredChunk& gathered, __m512i sums[6]) {
  const Gather gathers[3] = {make_gather(0), make_gather(1), make_gather(2)};
  const __m512i zero = _mm512_setzero_si512();
  __m512i total[6];
#pragma GCC unroll 6
  for (int k = 0; k < 6; ++k) total[k] = _mm512_load_si512(sums + k);
  for (int step = 0; step < steps; ++step) {
#pragma GCC unroll 2
    for (int plane = 0; plane < 2; ++plane) {
      const std::uint8_t* bytes = (plane == 0 ? low : high) + step * pixels_per_step * 3;
      const __m512i r0 = _mm512_loadu_si512(bytes);
      const __m512i r1 = _mm512_loadu_si512(bytes + 64);
      const __m512i r2 = _mm512_loadu_si512(bytes + 128);
#pragma GCC unroll 3
      for (int k = 0; k < 3; ++k) {
        const __m512i y = gather(gathers[k], r0, r1, r2);
        _mm512_store_si512(gathered[step][3 * plane + k], y);
        total[3 * plane + k] = _mm512_add_epi64(total[3 * plane + k], _mm512_sad_epu8(y, zero));
      }
    }
  }
#pragma GCC unroll 6
  for (int k = 0; k < 6; ++k) _mm512_store_si512(sums + k, total[k]);
}

// lanes += the four-byte dot products of u (unsigned) and s (signed), by
// vpdpbusd. Written as an asm statement with the accumulator tied to the
// result: with the intrinsic, GCC 12 copies some accumulators to spare
// registers and stores them to the stack on every step.
inline __m512i add_dot_products(__m512i lanes, __m512i u, __m512i s) {
  __asm__("vpdpbusd %2, %1, %0" : "+v"(lanes) : "v"(u), "v"(s));
  return lanes;
}

// Second pass: the 21 products of each step's coefficients, column by
// column so that only one signed factor is live at a time.
[[gnu::noinline]] void add_byte_chunk_products(const GatheredChunk& gathered, int steps,
                                               __m512i products[moment_pair_count]) {
  const __m512i flip = _mm512_set1_epi8(static_cast<char>(0x80));
  __m512i lanes[moment_pair_count];
#pragma GCC unroll 21
  for (int q = 0; q < moment_pair_count; ++q) lanes[q] = _mm512_load_si512(products + q);
  for (int step = 0; step < steps; ++step) {
    __m512i y[6];
#pragma GCC unroll 6
    for (int k = 0; k < 6; ++k) y[k] = _mm512_load_si512(gathered[step][k]);
#pragma GCC unroll 6
    for (int j = 0; j < 6; ++j) {
      const __m512i centred = _mm512_xor_si512(y[j], flip);
#pragma GCC unroll 6
      for (int i = 0; i <= j; ++i) {
        const int pair = moment_pair(i, j);
        lanes[pair] = add_dot_products(lanes[pair], y[i], centred);
      }
    }
  }
#pragma GCC unroll 21
  for (int q = 0; q < moment_pair_count; ++q) _mm512_store_si512(products + q, lanes[q]);
}

}  // namespace

std::size_t add_byte_moments_avx512(const std::uint8_t* low, const std::uint8_t* high,
                                    std::size_t count, LuminanceMoments& m) {
  const std::size_t whole = count / pixels_per_step * pixels_per_step;
  alignas(64) std::uint8_t gathered[chunk_steps][6][pixels_per_step];
  std::size_t p = 0;
  while (p < whole) {
    ByteBlockTotals block{};
    for (int step = 0; step < steps_per_flush && p < whole;) {
      const std::size_t left = (whole - p) / pixels_per_step;
      const int steps =
          left < static_cast<std::size_t>(chunk_steps) ? static_cast<int>(left) : chunk_steps;
      gather_byte_chunk(low + p * 3, high + p * 3, steps, gathered, block.sums);
      add_byte_chunk_products(gathered, steps, block.products);
      step += steps;
      p += static_cast<std::size_t>(steps) * pixels_per_step;
    }
    std::uint64_t block_sums[6];
    for (int k = 0; k < 6; ++k) {
      block_sums[k] = lane_total<std::uint64_t, std::uint64_t>(block.sums[k]);
      m.sum[k] += block_sums[k];
    }
    for (int i = 0; i < 6; ++i) {
      for (int j = i; j < 6; ++j) {
        const int pair = moment_pair(i, j);
        m.product[pair] += static_cast<std::uint64_t>(
                               lane_total<std::int32_t, std::int64_t>(block.products[pair])) +
                           128 * block_sums[i];
      }
    }
  }
  return whole;
}

std::size_t add_rgb_moments_avx512(const std::uint8_t* const planes[6], std::size_t count,
                                   LuminanceMoments& m) {
  const Gather gathers[3] = {make_gather(0), make_gather(1), make_gather(2)};
  const __m512i red_green_weights = _mm512_set1_epi16(30 | (59 << 8));
  const __m512i blue_weight = _mm512_set1_epi16(11);
  const __m512i centre = _mm512_set1_epi16(rgb_centre);
  const __m512i ones = _mm512_set1_epi16(1);
  const __m512i zero = _mm512_setzero_si512();
  // 64-bit totals: the 21 centred products, then the 6 centred sums.
  __m512i totals[moment_pair_count + 6];
  for (__m512i& lanes : totals) lanes = zero;
  const std::size_t whole = count / pixels_per_step * pixels_per_step;
  std::size_t p = 0;
  while (p < whole) {
    __m512i products[moment_pair_count];
    for (__m512i& lanes : products) lanes = zero;
    __m512i sums[6];
    for (__m512i& lanes : sums) lanes = zero;
    for (int step = 0; step < rgb_steps_per_flush && p < whole; ++step, p += pixels_per_step) {
      // y' of the 64 pixels in two registers of 32 words (both in the same
      // order, which is all the sums need).
      __m512i y[6][2];
      for (int k = 0; k < 6; ++k) {
        __m512i channel[3];
        for (int c = 0; c < 3; ++c) {
          const std::uint8_t* bytes = planes[2 * c + k / 3] + p * 3;
          channel[c] = gather(gathers[k % 3], _mm512_loadu_si512(bytes),
                              _mm512_loadu_si512(bytes + 64), _mm512_loadu_si512(bytes + 128));
        }
        const __m512i red_green[2] = {_mm512_unpacklo_epi8(channel[0], channel[1]),
                                      _mm512_unpackhi_epi8(channel[0], channel[1])};
        const __m512i blue[2] = {_mm512_unpacklo_epi8(channel[2], zero),
                                 _mm512_unpackhi_epi8(channel[2], zero)};
        for (int half = 0; half < 2; ++half) {
          const __m512i luma =
              _mm512_add_epi16(_mm512_maddubs_epi16(red_green[half], red_green_weights),
                               _mm512_mullo_epi16(blue[half], blue_weight));
          y[k][half] = _mm512_sub_epi16(luma, centre);
          sums[k] = _mm512_dpwssd_epi32(sums[k], y[k][half], ones);
        }
      }
      for (int j = 0; j < 6; ++j) {
        for (int i = 0; i <= j; ++i) {
          __m512i& lanes = products[moment_pair(i, j)];
          lanes =
              _mm512_dpwssd_epi32(_mm512_dpwssd_epi32(lanes, y[i][0], y[j][0]), y[i][1], y[j][1]);
        }
      }
    }
    for (int q = 0; q < moment_pair_count; ++q) totals[q] = add_widened(totals[q], products[q]);
    for (int k = 0; k < 6; ++k)
      totals[moment_pair_count + k] = add_widened(totals[moment_pair_count + k], sums[k]);
  }
  const std::int64_t n = static_cast<std::int64_t>(whole);
  const std::int64_t c = rgb_centre;
  std::int64_t centred_sums[6];
  for (int k = 0; k < 6; ++k) {
    centred_sums[k] = lane_total<std::int64_t, std::int64_t>(totals[moment_pair_count + k]);
    m.sum[k] += static_cast<std::uint64_t>(centred_sums[k] + n * c);
  }
  for (int i = 0; i < 6; ++i) {
    for (int j = i; j < 6; ++j) {
      const int pair = moment_pair(i, j);
      m.product[pair] +=
          static_cast<std::uint64_t>(lane_total<std::int64_t, std::int64_t>(totals[pair]) +
                                     c * centred_sums[i] + c * centred_sums[j] + n * c * c);
    }
  }
  return whole;
}
