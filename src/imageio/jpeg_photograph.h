// JPEG photographs (JFIF and Exif files as cameras write them, baseline or
// progressive, colour or grey) read into bottom-up RgbImages through
// libjpeg.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/rgb_image.h"
#include "imageio/photograph.h"

// An open decoder whose header has been read: the size is known before any
// pixel is decoded (or allocated for), so a caller can refuse a photograph
// of the wrong size, or a fuzzer one too large to decode quickly.
struct JpegPhotograph;

// Whether the bytes begin as a JPEG stream does, with the start-of-image
// marker FF D8 (ITU-T T.81, B.1.1.3).
inline bool has_jpeg_start(const std::uint8_t* data, std::size_t size) {
  return size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

// Reads the header of the `size` bytes at `data`, which stay in place
// until the photograph is closed. Null, after libjpeg's message on standard
// error and "JPEG photograph %s cannot be decoded\n" (with `name`) on
// standard output, when the bytes are not a JPEG stream; also when its
// colour space has no RGB rendering (CMYK) or its pixels would not fit the
// image code's int indexing.
JpegPhotograph* open_jpeg_photograph(const std::uint8_t* data, std::size_t size, const char* name);

// The size the frame header (SOFn) gives, when it lies within the `size`
// bytes at `data`, the start of a JPEG stream of one or three components:
// the marker segments before it (Exif, ICC profiles, tables) are stepped
// over by their lengths (ITU-T T.81, B.1.1.4), so the size of a photograph
// of tens of megabytes is read from its first kilobytes. False when the
// bytes end first, no frame header comes before the scan, or it gives a
// size of 0 or four components: open_jpeg_photograph on the whole file
// then decides.
bool jpeg_frame_size(const std::uint8_t* data, std::size_t size, int& width, int& height);

int jpeg_photograph_width(const JpegPhotograph* photograph);
int jpeg_photograph_height(const JpegPhotograph* photograph);

// Decodes the pixels into a new image, rows flipped to bottom-up (the
// stream's first row is the top one); a grey photograph gets three equal
// channels. A truncated stream decodes as far as it goes, with libjpeg's
// warning. Null after the messages of open_jpeg_photograph when libjpeg
// gives up part way. Decodes once: the photograph must be closed after.
RgbImage* decode_jpeg_photograph(JpegPhotograph* photograph);

// The same into `out` (8 bits a sample); false after the same messages.
bool decode_jpeg_photograph(JpegPhotograph* photograph, Photograph& out);

// Null allowed.
void close_jpeg_photograph(JpegPhotograph* photograph);

// The whole file at `path`: null, after "Unable to load jpeg file %s\n" on
// standard error, when it cannot be read, and after the messages above
// when it cannot be decoded.
RgbImage* read_jpeg_photograph(const char* path);
