// Netpbm photographs (PPM colour and PGM grey, binary P6/P5 or plain
// P3/P2) decoded from memory by the Netpbm formats' own grammar: the
// header's numbers separated by any white space and '#' comments, one
// white space byte before binary samples, a maximum value up to 65535
// (two big-endian bytes a sample above 255). Unlike the coefficient-image
// reader (image_files.h), which keeps the viewer's historical quirks and
// ends the program on a damaged file, a damaged photograph is refused with
// a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imageio/photograph.h"

struct NetpbmHeader {
  char kind = 0;  // '2', '3', '5' or '6' as in the magic number "P6"
  int width = 0;
  int height = 0;
  int maximum = 0;                // 1 .. 65535
  std::size_t samples_start = 0;  // offset of the first sample
};

// Whether the bytes begin with a magic number read here.
bool has_netpbm_magic(const std::uint8_t* data, std::size_t size);

// Parses the header at the start of the `size` bytes at `data`. False,
// with `problem` saying why, when it is not a complete header of a read
// kind with a positive size and a maximum value of 1 to 65535.
bool read_netpbm_header(const std::uint8_t* data, std::size_t size, NetpbmHeader& header,
                        std::string& problem);

// Decodes the samples after `header` into `out`, rows bottom-up: 8 bits
// when the maximum value is 255 or less, else 16, rescaled from 0 ..
// maximum to the full range (unchanged for 255 and 65535); grey samples
// become three equal ones. False, with `problem` saying why, when the
// samples end early or one exceeds the maximum value. Bytes after the
// last sample (a second picture) are ignored.
bool decode_netpbm_photograph(const std::uint8_t* data, std::size_t size,
                              const NetpbmHeader& header, Photograph& out, std::string& problem);
