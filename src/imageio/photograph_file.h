// The photographs of a capture, in whichever of the formats cameras and
// converters write them the file holds: JPEG (through libjpeg), PNG
// (through libpng) or PPM. The format is recognised by the file's first
// bytes, not its name, so "IMG_0001.JPG", "shot.jpeg" and a PNG saved
// under a ".jpg" name all read.
#pragma once

#include "common/rgb_image.h"

// The photograph's width and height from its header alone, so that a set
// of photographs can be checked to share one size before any pixel is
// decoded. False after a message naming the file on standard output when
// it cannot be opened or is not a JPEG, PNG or PPM picture (a PPM header
// that cannot be read ends the program with the PPM reader's message).
bool read_photograph_size(const char* path, int& width, int& height);

// The whole photograph as a bottom-up RGB image (grey pictures with three
// equal channels); null after a message naming the file, as above.
RgbImage* read_photograph(const char* path);
