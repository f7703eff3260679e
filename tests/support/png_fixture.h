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

// The PNG file `png` with an iCCP chunk holding `profile` right after its
// image header, written by hand rather than through libpng, which would
// check the profile first: the tests give damaged and unsuitable ones too.
std::string png_with_icc_profile(const std::string& png, const std::string& profile);

// A few small valid PNG pictures of several colour types written into
// `directory`, which must exist.
void write_png_seed_corpus(const std::string& directory);
