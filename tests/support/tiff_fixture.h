// Small TIFF files for the TIFF reader's tests and fuzz corpus, written by
// libtiff from samples the test chooses, in the layouts photographs come
// in: strips or tiles, interleaved or planar, compressed or not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TiffFixture {
  int width = 0;
  int height = 0;
  int photometric = 2;         // TIFF Photometric: 0 min-is-white, 1 min-is-black, 2 RGB, 5 CMYK
  int samples_per_pixel = 3;
  int bits = 8;                // 8 or 16 (32 with sample_format 3: floating point, samples unused)
  int sample_format = 1;       // 1 unsigned, 3 floating point
  int compression = 1;         // 1 none, 5 LZW, 8 Deflate, 32773 PackBits
  bool planar = false;         // one plane per sample
  int rows_per_strip = 1;
  int tile_width = 0;          // non-zero: tiles of tile_width x tile_length
  int tile_length = 0;
  // Sample values top row first, samples of a pixel adjacent (whatever
  // `planar`: the writer splits them).
  std::vector<std::uint16_t> samples;
  std::string icc_profile;     // the ICC profile tag when not empty
};

std::string tiff_fixture_bytes(const TiffFixture& fixture);

// A few small valid TIFF photographs (8 and 16 bits, grey and RGB, strips
// and tiles, LZW and Deflate) written into `directory`, which must exist.
void write_tiff_seed_corpus(const std::string& directory);
