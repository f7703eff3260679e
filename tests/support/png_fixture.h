// Small PNG files for the PNG reader's tests and fuzz corpus, encoded with
// libpng directly from sample values the test chooses, in every colour
// type and bit depth the format has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngFixture {
  int width = 0;
  int height = 0;
  int color_type = 2;  // PNG colour type: 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  int bit_depth = 8;   // 1, 2, 4, 8 or 16 as the colour type allows
  bool interlaced = false;
  // Channel values top row first, channels of a pixel adjacent (palette:
  // one index per pixel), each within 0 .. 2^bit_depth - 1.
  std::vector<std::uint16_t> samples;
  std::vector<std::uint8_t> palette;  // colour type 3: red, green, blue per entry
};

std::string png_fixture_bytes(const PngFixture& fixture);

// A few small valid PNG pictures of several colour types written into
// `directory`, which must exist.
void write_png_seed_corpus(const std::string& directory);
