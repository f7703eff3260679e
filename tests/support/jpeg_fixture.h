// Small JPEG files for the photograph reader's tests and fuzz corpus,
// compressed with libjpeg directly from pixels the test chooses (the
// program itself only writes one-component planes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/window_pixels.h"

struct JpegFixture {
  int width = 0;
  int height = 0;
  int components = 3;                 // 1 grey, 3 RGB (stored as YCbCr), 4 CMYK
  std::vector<std::uint8_t> samples;  // interleaved, top row first
  int quality = 95;
  bool progressive = false;
  // Full-resolution chroma (no 2 x 2 subsampling): with quality 100 the
  // decoded pixels are then within a grey level or two of the samples.
  bool full_chroma = false;
  // APP2 marker payloads written after the header, in this order (an ICC
  // profile: icc_fixture.h).
  std::vector<std::string> app2_payloads;
};

std::string jpeg_fixture_bytes(const JpegFixture& fixture);

// A few small valid JPEG photographs (colour, grey, progressive) written
// into `directory`, which must exist.
void write_jpeg_seed_corpus(const std::string& directory);

// `path` decoded by netpbm's jpegtopnm (an independent program over the
// system's libjpeg), as RGB pixels, top row first; empty when it fails.
WindowPixels jpegtopnm_pixels(const std::string& path);
