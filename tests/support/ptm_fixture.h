// PTM files written from values a test chooses, byte by byte, without the
// program's own writer: reader tests compare what they read against these
// values rather than against values read back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/files.h"

struct PtmFixture {
  std::string magic = "PTM_1.2";
  std::string format_word;  // e.g. "PTM_FORMAT_LRGB"
  int format = 0;           // PtmFormat of the data written: 0 RGB, 1 LUM, 2 LRGB, 3 LUT, 4 C_LUT
  int version_minor = 2;    // data layout: 1 or 2
  int width = 0;
  int height = 0;
  std::string scale_line = "1.0 1.0 1.0 1.0 1.0 1.0\n";
  std::string bias_line = "0 0 0 0 0 0\n";
  std::string matrix_line = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n";  // LUM
  std::string entry_word = "N_LUT_ENTRIES";                       // table formats

  // Stored coefficient bytes a0..a5 per pixel, pixel-major: coefficients[c]
  // holds channel c (red, green, blue) of RGB, [0] the luminance otherwise.
  // Table formats: the table's coefficient bytes per entry instead.
  std::array<std::vector<std::uint8_t>, 3> coefficients;
  // LRGB: red, green, blue per pixel; LUM: two chroma bytes per pixel;
  // PTM_LUT: colour per pixel; PTM_C_LUT: colour per table entry.
  std::vector<std::uint8_t> colour;
  std::vector<int> indices;  // table formats: one entry number per pixel
  int table_entries = 0;
};

// A fixture of the given format, layout and size with pseudo-random stored
// bytes (deterministic for a seed); table formats get `entries` entries
// and random indices into them.
PtmFixture random_ptm_fixture(int format, int version_minor, int width, int height, unsigned seed,
                              int entries = 0);

// The whole file: header text and binary data.
std::string ptm_fixture_bytes(const PtmFixture& fixture);

// A 109-byte file that the PTM file fuzz target found: its format word
// classifies as JPEG-LS LRGB (it contains "_FORMAT_JPEGLS_LRGB" but is not
// exactly that word) and its header announces 499998 x 1993 pixels, about
// 10^9, with no plane data behind. The reader once allocated the whole map
// before it found out. Kept as a regression input.
std::string oversized_compressed_claim();

// Writes one valid small file of every uncompressed format and layout into
// `directory` (seed corpus for the fuzzers), and the regression inputs.
void write_ptm_seed_corpus(const std::string& directory);
