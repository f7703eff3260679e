// The text header of a PTM file as the reader has parsed it, and the
// uncompressed data that follows it.
#pragma once

#include <cstdint>

#include "ptm/header_tokens.h"
#include "ptm/ptm.h"

struct PtmFileHeader {
  int version_minor;  // 1 or 2 (PTM_1.1, PTM_1.2)
  int format;         // PtmFormat as classified from the format word
  char format_word[max_header_token + 1];  // the word itself, as stored
  std::int32_t width;
  std::int32_t height;
  std::int32_t scale_bias[12];
  float color_matrix[16];     // LUM
  std::int32_t lut_entries;   // PTM_LUT and PTM_C_LUT
  std::uint64_t data_offset;  // first byte of the binary data
};

// Reads the text header of the PTM file at `path` as read_ptm_file does,
// with the same error messages but no format line; false when the file
// cannot be opened or its header is not one the reader accepts.
bool read_ptm_file_header(const char* path, PtmFileHeader& header);

// Bytes of binary data an uncompressed format needs after its header.
std::uint64_t uncompressed_data_bytes(const PtmFileHeader& header);

// Reads the binary data of an uncompressed format from `fd`, filling the
// stored planes, the colour and the converted coefficients of `ptm` in one
// pass. Prints a message naming `path` and returns false on a read error or
// an out-of-range table index.
bool read_uncompressed_data(Ptm& ptm, const PtmFileHeader& header, int fd, const char* path);
