// The memory read bandwidth of this machine, measured in the benchmark's own
// run so that memory-bound timings can be set against it.
#pragma once

#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "common/checked_alloc.h"

// One pass summing the buffer with wide loads into independent
// accumulators, so that only memory limits it.
__attribute__((target("avx2"))) inline std::uint64_t sum_buffer(const std::uint64_t* buffer,
                                                                std::size_t words) {
  __m256i sums[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                     _mm256_setzero_si256()};
  for (std::size_t i = 0; i < words; i += 16) {
    for (int j = 0; j < 4; ++j) {
      sums[j] = _mm256_add_epi64(
          sums[j], _mm256_load_si256(reinterpret_cast<const __m256i*>(buffer + i + 4 * j)));
    }
  }
  const __m256i total =
      _mm256_add_epi64(_mm256_add_epi64(sums[0], sums[1]), _mm256_add_epi64(sums[2], sums[3]));
  return static_cast<std::uint64_t>(_mm256_extract_epi64(total, 0) +
                                    _mm256_extract_epi64(total, 3));
}

// Best of several passes over a buffer far larger than the caches.
inline double measure_read_bandwidth() {
  const std::size_t words = std::size_t{1} << 27;  // 1 GiB
  auto* buffer = checked_alloc_array<std::uint64_t>(words);
  std::memset(buffer, 1, words * 8);
  double best = 0;
  for (int pass = 0; pass < 5; ++pass) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(sum_buffer(buffer, words));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best = std::max(best, words * 8 / seconds);
  }
  checked_free(buffer);
  return best;
}
