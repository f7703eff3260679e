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
