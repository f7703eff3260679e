// TIFF photographs (Adobe's TIFF 6.0, as scanners, raw converters and
// editors write them) through libtiff: RGB or grey, 8 or 16 bits a sample,
// uncompressed, LZW, Deflate or PackBits, in strips or tiles, samples
// interleaved or in planes; the first page only. Other kinds (CMYK,
// palette, YCbCr, floating-point samples, other compressions) are refused
// with a message.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imageio/photograph.h"

// An open photograph whose first directory (the tags) has been read: its
// size and kind are known before any pixel is decoded or allocated for.
struct TiffPhotograph;

// Opens the `size` bytes at `data`, which stay in place until the
// photograph is closed; `name` names it in messages. Null after a message
// on standard output ("TIFF photograph %s cannot be decoded: <reason>\n",
// or "TIFF photograph %s is <kind>; ...\n" for a kind that is not read).
TiffPhotograph* open_tiff_photograph(const std::uint8_t* data, std::size_t size, const char* name);

// Opens the file at `path` (libtiff maps or reads the parts it needs, so
// the size of a large photograph is known without reading its pixels).
// Null after the messages above.
TiffPhotograph* open_tiff_photograph_file(const char* path);

int tiff_photograph_width(const TiffPhotograph* photograph);
int tiff_photograph_height(const TiffPhotograph* photograph);
// Bits a sample: 8 or 16.
int tiff_photograph_bits(const TiffPhotograph* photograph);

// The photograph's ICC profile tag: false when it has none.
bool tiff_icc_profile(const TiffPhotograph* photograph, const std::uint8_t*& data,
                      std::size_t& size);

// Decodes the pixels into `out`, rows flipped to bottom-up, at the file's
// precision (8 or 16 bits); grey samples become three equal ones (a
// "min-is-white" grey photograph inverted). Extra samples (alpha) are
// dropped. False after "TIFF photograph %s cannot be decoded: <reason>\n"
// when a strip or tile cannot be decoded.
bool decode_tiff_photograph(TiffPhotograph* photograph, Photograph& out);

// Null allowed.
void close_tiff_photograph(TiffPhotograph* photograph);
