#include "analysis/photograph_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/photograph_fit_solve.h"
#include "common/cpu_features.h"

TEST(PhotographFitSolve, TheAvx2KernelGivesThePortableKernelsBits) {
  if (!cpu_has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
  // A matrix with entries of both signs and magnitudes from 0.01 to 300,
  // as the inverse normal matrices of real light sets have, and sums of
  // 61 vectors (not a multiple of the portable kernel's block of 8).
  float m[6][6];
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 6; ++c) m[r][c] = (r == c ? 300.0f : 0.7f) * (((r + 2 * c) % 3) - 1.01f);
  }
  std::vector<float> sums(6 * 61);
  std::uint32_t state = 7;
  for (float& s : sums) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<float>(state >> 8) / 1024.0f - 8000.0f;
  }
  std::vector<float> portable = sums;
  std::vector<float> avx2 = sums;
  solve_vectors_portable(portable.data(), 61, m);
  solve_vectors_avx2(avx2.data(), 61, m);
  EXPECT_EQ(std::memcmp(portable.data(), avx2.data(), portable.size() * sizeof(float)), 0);
  // And the portable kernel is the product written out, in double.
  for (int v = 0; v < 61; ++v) {
    for (int k = 0; k < 6; ++k) {
      double x = 0;
      for (int i = 0; i < 6; ++i) x += static_cast<double>(m[k][i]) * sums[6 * v + i];
      EXPECT_NEAR(portable[6 * v + k], x, 1e-3 * (1 + std::abs(x))) << v << " " << k;
    }
  }
}

// 16-bit samples count in grey levels with their fractions (v / 257): a
// surface of 100.4 grey levels under every light, which 8 bits can only
// give as 100, is fitted as 100.4. And an 8-bit sample w sums exactly as
// its 16-bit equal w * 257 does, so 8-bit photographs give the maps they
// always gave.
TEST(PhotographFit, SixteenBitPhotographsAreSummedAtFullPrecisionOnTheEightBitScale) {
  std::vector<LightDirection> lights;  // a ring of seven and the zenith
  for (int i = 0; i < 7; ++i) {
    lights.push_back({static_cast<float>(0.6 * std::cos(0.8976 * i)),
                      static_cast<float>(0.6 * std::sin(0.8976 * i))});
  }
  lights.push_back({0, 0});
  const std::uint16_t level_100_4 = 25803;  // 100.4 * 257 = 25802.8
  for (FitLayout layout : {FitLayout::lrgb, FitLayout::rgb}) {
    SCOPED_TRACE(layout == FitLayout::lrgb ? "LRGB" : "RGB");
    PhotographFit wide;
    PhotographFit narrow;
    ASSERT_TRUE(begin_photograph_fit(lights.data(), 8, 2, 1, layout, 1, wide));
    ASSERT_TRUE(begin_photograph_fit(lights.data(), 8, 2, 1, layout, 1, narrow));
    for (int i = 0; i < 8; ++i) {
      // Pixel 1 differs per light and channel, in 8 bits and in 16.
      const int w[3] = {40 + 20 * i, 200 - 9 * i, 77};
      Photograph p16;
      p16.width = 2;
      p16.height = 1;
      p16.bits = 16;
      p16.samples16 = {level_100_4, level_100_4, level_100_4, static_cast<std::uint16_t>(w[0] * 257),
                       static_cast<std::uint16_t>(w[1] * 257), static_cast<std::uint16_t>(w[2] * 257)};
      Photograph p8;
      p8.width = 2;
      p8.height = 1;
      p8.samples8 = {100, 100, 100, static_cast<std::uint8_t>(w[0]), static_cast<std::uint8_t>(w[1]),
                     static_cast<std::uint8_t>(w[2])};
      accumulate_photograph(wide, p16, lights[i]);
      accumulate_photograph(narrow, p8, lights[i]);
    }
    solve_photograph_fit(wide, nullptr);
    solve_photograph_fit(narrow, nullptr);
    const int per_pixel = layout == FitLayout::lrgb ? 6 : 18;
    // Pixel 0: the constant term 100.4 (within 16-bit rounding, 0.002 of
    // a level), every other coefficient 0.
    for (int k = 0; k < per_pixel; ++k) {
      EXPECT_NEAR(wide.values[k], k % 6 == 5 ? 100.4 : 0.0, 0.002) << "coefficient " << k;
    }
    EXPECT_EQ(std::memcmp(wide.values + per_pixel, narrow.values + per_pixel,
                          per_pixel * sizeof(float)),
              0);
    if (layout == FitLayout::lrgb) {
      EXPECT_EQ(std::memcmp(wide.color_sums + 4, narrow.color_sums + 4, 4 * sizeof(std::uint32_t)),
                0);
      EXPECT_EQ(wide.color_sums[4 + 2], 8u * 77 * 257);  // blue, 77 in every photograph
    }
    free_photograph_fit(wide);
    free_photograph_fit(narrow);
  }
}
