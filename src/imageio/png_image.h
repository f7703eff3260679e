// PNG files through libpng: 8-bit RGB and 16-bit grey pictures written,
// any PNG read as 8-bit RGB. Pictures in memory are bottom-up (row 0 is the
// bottom row, as RgbImage and the map order them); PNG stores the top row
// first, so rows are flipped on the way in and out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/rgb_image.h"

// Writes `image` as an 8-bit RGB PNG through OutputFile: the whole file or
// nothing. A failure is reported on standard error ("Can't open PNG file
// %s for writing" or report_write_failure); false then.
bool write_png_rgb(const RgbImage& image, const char* path);

// Writes width x height 16-bit grey samples (row 0 the bottom row) as a
// 16-bit greyscale PNG, in the same way.
bool write_png_grey16(const std::uint16_t* samples, int width, int height, const char* path);

// Encodes width x height 8-bit RGB pixels, the top row first and each row
// `row_step` bytes after the one above, as a PNG file in `png` (replacing its
// content), compressed as write_png_rgb compresses. False only for an
// empty picture or when libpng cannot start.
bool encode_png_rgb(const std::uint8_t* top_row, std::ptrdiff_t row_step, int width, int height,
                    std::vector<std::uint8_t>& png);

// The largest picture the reader decodes: 2^28 pixels (a 16384 x 16384
// photograph), so that a forged header cannot demand gigabytes.
constexpr std::uint64_t max_png_pixels = std::uint64_t{1} << 28;

// Decodes the `size` bytes at `data` into a new bottom-up 8-bit RGB image:
// palette and grey pictures expanded, 16-bit samples cut to their high
// byte, alpha dropped, no gamma applied (the samples are taken as stored).
// Null, after "PNG file %s cannot be decoded: <reason>\n" on standard
// error (with `name`), when the bytes are not a whole PNG picture or it is
// larger than max_png_pixels.
RgbImage* decode_png_rgb(const std::uint8_t* data, std::size_t size, const char* name);

// The whole file at `path`, decoded as above; null after "Unable to load
// png file %s\n" on standard error when it cannot be read.
RgbImage* read_png_rgb(const char* path);

// Whether the bytes begin with the PNG signature.
bool has_png_signature(const std::uint8_t* data, std::size_t size);

// The picture's size from the first 24 bytes of a PNG file, without
// decoding: the image header chunk must come first, right after the
// signature (PNG, ISO/IEC 15948, 5.6), and holds the width and height as
// big-endian 32-bit numbers. False when the bytes do not begin that way or
// a side is 0 or larger than a positive int.
bool png_picture_size(const std::uint8_t* data, std::size_t size, int& width, int& height);
