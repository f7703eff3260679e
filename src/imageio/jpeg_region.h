// The luminance of a part of a JPEG photograph, decoded without the rest
// of the picture: what a measurement needs from each of sixty photographs
// of 24 megapixels is a few hundred rows and columns around a sphere, or
// the whole picture at an eighth of its size.
//
// Through libjpeg-turbo: rows above the part are skipped
// (jpeg_skip_scanlines still reads their entropy-coded data, which has no
// index, but does no inverse transform), columns beside it are not
// transformed (jpeg_crop_scanline, to the nearest block boundaries), rows
// below it are never read, and the colour components are not transformed
// at all (the luminance is the stream's own Y). At 1/8 scale libjpeg's DCT
// scaling turns each 8 x 8 block into its mean, the block's DC term.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/grey_picture.h"

// Decodes `rect` of the picture scaled by 1 / scale_denominator (1, 2, 4
// or 8; the rectangle in the scaled picture's pixels, clipped to it) from
// the `size` bytes at `data` into `out` (its left and top are the
// rectangle's). `width` and `height` get the picture's full size from its
// header. A grey stream is read as it is; CMYK and YCCK streams, which
// have no luminance of their own, are refused, and so are pictures larger
// than max_photograph_pixels (photograph_file.h). False after libjpeg's
// message on standard error and "JPEG photograph %s cannot be decoded\n"
// (or the reason) on standard output, naming `name`.
bool decode_jpeg_luminance(const std::uint8_t* data, std::size_t size, const char* name,
                           int scale_denominator, PixelRect rect, GreyPicture& out, int& width,
                           int& height);
