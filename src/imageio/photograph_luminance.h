// The luminance of parts of a photograph, for measurements that need
// neither colour nor the whole picture (a capture's spheres). JPEG
// photographs decode only what is asked for (jpeg_region.h); the other
// formats the photograph reader takes are read whole and cut.
//
// Luminance is the Y of JPEG's YCbCr (ITU-R BT.601 weights, as JFIF
// defines it): Y = 0.299 R + 0.587 G + 0.114 B.
#pragma once

#include <vector>

#include "common/grey_picture.h"

// Reads `rects` of the photograph at `path` (each clipped to the picture;
// none: the whole picture, as one), at 1 / scale_denominator of its size
// (1 or 8; the rectangles then in the small picture's pixels; at 8 each
// pixel is the mean of an 8 x 8 block).
// `width` and `height` get the photograph's full size. False after a
// message naming the file on standard output when it cannot be read.
bool read_photograph_luminance(const char* path, int scale_denominator,
                               const std::vector<PixelRect>& rects, std::vector<GreyPicture>& out,
                               int& width, int& height);
