// The solve of a photograph fit, x = M b for every vector b of six sums
// stored side by side: the portable kernel, the reference, and the AVX2
// one, chosen by the processor. Both sum the six products of each
// coefficient in the same order, without fused multiply-adds, so they give
// the same bits.
#pragma once

#include <cstddef>

void solve_vectors_portable(float* values, std::size_t vectors, const float m[6][6]);
void solve_vectors_avx2(float* values, std::size_t vectors, const float m[6][6]);
