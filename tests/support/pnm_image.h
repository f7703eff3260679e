// Binary PGM (P5) and PPM (P6) images of 8 or 16 bits per sample, for the
// JPEG-LS tests and benchmarks (the conformance images are 16-bit PGMs,
// which the program's own PPM reader does not take).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Samples pixel-interleaved, top row first.
struct TestImage {
  int width = 0;
  int height = 0;
  int components = 1;
  int bits = 8;
  std::vector<std::uint16_t> samples;
};

// Throws std::runtime_error when the file cannot be read.
TestImage read_pnm(const std::string& path);
