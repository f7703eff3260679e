// The portable moment kernels, written for the compiler to vectorise: a
// block of pixels is first spread into one array per coefficient, then each
// sum is a plain loop over those arrays (a dot product for each pair).
// Included by the translation units that compile it for an instruction
// set; everything here has internal linkage, so each keeps its own copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/luminance_moments.h"

namespace {

// A block of 1024 pixels keeps every per-block sum of byte products below
// 1024 * 255^2 < 2^31, so those sums run in 32-bit lanes.
constexpr int moments_block = 1024;

inline int block_length(std::size_t first, std::size_t count) {
  return count - first < moments_block ? static_cast<int>(count - first) : moments_block;
}

void add_byte_moments_blocks(const std::uint8_t* low, const std::uint8_t* high, std::size_t count,
                             LuminanceMoments& m) {
  alignas(64) std::int16_t y[6][moments_block];
  for (std::size_t first = 0; first < count; first += moments_block) {
    const int n = block_length(first, count);
    const std::uint8_t* l = low + first * 3;
    const std::uint8_t* h = high + first * 3;
    for (int p = 0; p < n; ++p) {
      y[0][p] = l[3 * p];
      y[1][p] = l[3 * p + 1];
      y[2][p] = l[3 * p + 2];
      y[3][p] = h[3 * p];
      y[4][p] = h[3 * p + 1];
      y[5][p] = h[3 * p + 2];
    }
    for (int i = 0; i < 6; ++i) {
      std::int32_t sum = 0;
      for (int p = 0; p < n; ++p) sum += y[i][p];
      m.sum[i] += static_cast<std::uint64_t>(sum);
      for (int j = i; j < 6; ++j) {
        std::int32_t product = 0;
        for (int p = 0; p < n; ++p) product += y[i][p] * y[j][p];
        m.product[moment_pair(i, j)] += static_cast<std::uint64_t>(product);
      }
    }
  }
}

// RGB: y = 30 R + 59 G + 11 B reaches 25500, its products 6.5e8, so the
// products are summed in 64 bits.
void add_rgb_moments_blocks(const std::uint8_t* const planes[6], std::size_t count,
                            LuminanceMoments& m) {
  alignas(64) std::int32_t y[6][moments_block];
  for (std::size_t first = 0; first < count; first += moments_block) {
    const int n = block_length(first, count);
    for (int k = 0; k < 6; ++k) {
      const std::size_t offset = first * 3 + k % 3;
      const std::uint8_t* red = planes[k / 3] + offset;
      const std::uint8_t* green = planes[2 + k / 3] + offset;
      const std::uint8_t* blue = planes[4 + k / 3] + offset;
      for (int p = 0; p < n; ++p) y[k][p] = 30 * red[3 * p] + 59 * green[3 * p] + 11 * blue[3 * p];
    }
    for (int i = 0; i < 6; ++i) {
      std::int64_t sum = 0;
      for (int p = 0; p < n; ++p) sum += y[i][p];
      m.sum[i] += static_cast<std::uint64_t>(sum);
      for (int j = i; j < 6; ++j) {
        std::int64_t product = 0;
        for (int p = 0; p < n; ++p) product += y[i][p] * y[j][p];
        m.product[moment_pair(i, j)] += static_cast<std::uint64_t>(product);
      }
    }
  }
}

}  // namespace
