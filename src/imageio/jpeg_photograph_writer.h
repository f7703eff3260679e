// JPEG photographs written through libjpeg, as a camera writes them:
// baseline, YCbCr with 2 x 2 subsampled chroma, at a chosen quality.
#pragma once

#include "common/rgb_image.h"

// Writes the bottom-up `image` at `quality` (1..100) to `path` through
// OutputFile: the whole file or nothing. False after a message on
// standard error naming the file.
bool write_jpeg_photograph(const RgbImage& image, const char* path, int quality);
