#include "analysis/photograph_fit_solve.h"

#include <cstring>

namespace {

// x = M b for one vector of six, summed in the order the block below sums
// its lanes, so that every vector gets the same bits wherever it falls.
inline void solve_one(const float m[6][6], float* v) {
  float x[6];
  for (int k = 0; k < 6; ++k) {
    float sum = m[k][0] * v[0];
    for (int i = 1; i < 6; ++i) sum += m[k][i] * v[i];
    x[k] = sum;
  }
  std::memcpy(v, x, sizeof x);
}

// Vectors of six side by side in memory do not line up with vector
// registers; a block of eight is turned into six rows of eight lanes (one
// per term), multiplied lane-parallel, and turned back, which the compiler
// vectorises for any x86-64.
constexpr int block_lanes = 8;

}  // namespace

void solve_vectors_portable(float* values, std::size_t vectors, const float m[6][6]) {
  std::size_t v = 0;
  for (; v + block_lanes <= vectors; v += block_lanes) {
    float* block = values + 6 * v;
    float b[6][block_lanes];
    for (int j = 0; j < block_lanes; ++j) {
      for (int i = 0; i < 6; ++i) b[i][j] = block[6 * j + i];
    }
    float x[6][block_lanes];
    for (int k = 0; k < 6; ++k) {
      for (int j = 0; j < block_lanes; ++j) x[k][j] = m[k][0] * b[0][j];
      for (int i = 1; i < 6; ++i) {
        for (int j = 0; j < block_lanes; ++j) x[k][j] += m[k][i] * b[i][j];
      }
    }
    for (int j = 0; j < block_lanes; ++j) {
      for (int k = 0; k < 6; ++k) block[6 * j + k] = x[k][j];
    }
  }
  for (; v < vectors; ++v) solve_one(m, values + 6 * v);
}
