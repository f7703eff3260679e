// An 8-bit RGB picture in memory: rows bottom-up, as glDrawPixels draws
// them, three bytes (red, green, blue) per pixel, no row padding.
#pragma once

#include <cstdint>

struct RgbImage {
  int width;
  int height;
  std::uint8_t* pixels;  // width * height * 3 bytes
};

// Allocates through the checked allocator; pixel contents are undefined.
// Long-lived images are allocated at their largest size and later get
// smaller width and height fields.
RgbImage* new_rgb_image(int width, int height);

void free_rgb_image(RgbImage* image);
