// PNG files through libpng: 8-bit RGB and 16-bit grey pictures written,
// any PNG read as 8-bit RGB, or as a photograph that keeps 16 bits. Pictures in memory are bottom-up (row 0 is the
// bottom row, as RgbImage and the map order them); PNG stores the top row
// first, so rows are flipped on the way in and out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/rgb_image.h"
#include "imageio/photograph.h"

// A text chunk: a keyword of 1 to 79 printable Latin-1 characters without
// leading, trailing or double spaces (PNG 11.3.4.2), and its text.
struct PngText {
  std::string key;
  std::string text;
};

// What a PNG file says about its picture besides the pixels.
struct PngNotes {
  // The physical resolution (the pHYs chunk, PNG 11.3.5.3) in pixels per
  // metre along x and y; 0 when the file gives none.
  std::uint32_t pixels_per_metre_x = 0;
  std::uint32_t pixels_per_metre_y = 0;
  // Text chunks in file order: tEXt where the text is plain ASCII, iTXt
  // (UTF-8) otherwise, so that any file name survives.
  std::vector<PngText> texts;
};

// Writes `image` as an 8-bit RGB PNG through OutputFile: the whole file or
// nothing, with `notes` before the picture data. A failure is reported on
// standard error ("Can't open PNG file %s for writing" or
// report_write_failure); false then.
bool write_png_rgb(const RgbImage& image, const char* path, const PngNotes& notes = {});

// Writes width x height 16-bit grey samples (row 0 the bottom row) as a
// 16-bit greyscale PNG, in the same way.
bool write_png_grey16(const std::uint16_t* samples, int width, int height, const char* path,
                      const PngNotes& notes = {});

// The notes of a whole PNG file in memory: every text chunk, before or
// after the picture data, and the resolution when it is given per metre.
// False, after "PNG file %s cannot be decoded: <reason>\n" on standard
// error (with `name`), when the bytes are not a whole PNG picture.
bool decode_png_notes(const std::uint8_t* data, std::size_t size, const char* name,
                      PngNotes& notes);

// The notes of the PNG file at `path`; false after a message naming it.
bool read_png_notes(const char* path, PngNotes& notes);

// The text of `key` among `notes`, or null.
const std::string* find_png_text(const PngNotes& notes, const std::string& key);

// The same picture a row at a time, never whole in memory: row(y, samples)
// fills the width samples of picture row y (0 the bottom row); the rows are
// asked for from the top down.
bool write_png_grey16_rows(int width, int height, const char* path,
                           const std::function<void(int y, std::uint16_t* samples)>& row,
                           const PngNotes& notes = {});

// A PNG encoded a row at a time onto an open file, top row first: 8-bit
// RGB (bit_depth 8) or 16-bit grey (16, samples in this machine's order),
// with `notes` before the picture data.
// The functions give libpng's reason in `error` when they fail; the caller
// reports it and discards the file.
class PngRowWriter;
struct PngRowWriterDeleter {
  void operator()(PngRowWriter* writer) const;
};
using PngRows = std::unique_ptr<PngRowWriter, PngRowWriterDeleter>;
PngRows start_png_rows(std::FILE* file, int width, int height, int bit_depth, const PngNotes& notes,
                       std::string& error);
bool write_png_row(PngRowWriter& writer, const std::uint8_t* row, std::string& error);
bool end_png_rows(PngRowWriter& writer, std::string& error);

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

// Decodes as decode_png_rgb does, but a 16-bit picture keeps its 16 bits
// (a photograph for the fitter); false after the same messages.
bool decode_png_photograph(const std::uint8_t* data, std::size_t size, const char* name,
                           Photograph& out);

// The whole file at `path`, decoded as decode_png_rgb does; null after "Unable to load
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
