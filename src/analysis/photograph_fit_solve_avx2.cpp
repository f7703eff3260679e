#include <immintrin.h>

#include "analysis/photograph_fit_solve.h"

// Each vector is solved in one register: the result is the sum of the
// matrix's columns, each times one of the vector's sums broadcast to every
// lane (six lanes used of eight). No transposition is needed, so a vector
// costs six broadcasts, six multiplies, five adds and two stores, and the
// loop keeps up with the memory that streams the 48 bytes of each vector
// in and out.
void solve_vectors_avx2(float* values, std::size_t vectors, const float m[6][6]) {
  __m256 column[6];
  for (int i = 0; i < 6; ++i) {
    column[i] = _mm256_setr_ps(m[0][i], m[1][i], m[2][i], m[3][i], m[4][i], m[5][i], 0.0f, 0.0f);
  }
  for (std::size_t v = 0; v < vectors; ++v) {
    float* b = values + 6 * v;
    __m256 x = _mm256_mul_ps(column[0], _mm256_broadcast_ss(b));
    for (int i = 1; i < 6; ++i) {
      x = _mm256_add_ps(x, _mm256_mul_ps(column[i], _mm256_broadcast_ss(b + i)));
    }
    // Six lanes back: four, then two; a store of eight would overwrite the
    // next vector before it is read.
    _mm_storeu_ps(b, _mm256_castps256_ps128(x));
    _mm_storel_pi(reinterpret_cast<__m64*>(b + 4), _mm256_extractf128_ps(x, 1));
  }
}
