// The random sequence of the C library's rand() in its classic linear
// congruential form (the ISO C standard's example generator with the
// multiplier 214013 and increment 2531011): spelled out here, not taken
// from libc, so that every machine draws the same numbers.
#pragma once

#include <cstdint>

struct LcgRandom {
  // A program's sequence starts at state 1 (rand() before any srand()).
  std::uint32_t state = 1;

  // state = state * 214013 + 2531011 (mod 2^32); the result is bits
  // 16 .. 30 of the new state, 0 .. 32767.
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 32767u);
  }

  // A random fraction: the next result times 1 / 32767 held as a float,
  // the product in single precision.
  float fraction() {
    constexpr float reciprocal = 1.0f / 32767.0f;
    return static_cast<float>(next()) * reciprocal;
  }
};
