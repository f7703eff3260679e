// Luminance of a photograph, or of a rectangle cut from one, for the
// measurements that need no colour (finding spheres and their highlights).
// Rows top first, as the photograph's own coordinates count them.
#pragma once

#include <cstddef>
#include <vector>

// A rectangle of whole pixels: columns left .. left + width - 1, rows
// top .. top + height - 1, counted from the picture's top-left corner.
struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct GreyPicture {
  // Where the first column and row lie in the photograph, in this
  // picture's pixels (a picture decoded at 1/8 scale counts eighths).
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  // width * height samples, 0 black .. 1 the format's white: the same
  // scale for 8- and 16-bit photographs, and a clipped sample is exactly 1.
  std::vector<float> samples;

  // (x, y) counted from the picture's own top-left pixel.
  float at(int x, int y) const { return samples[static_cast<std::size_t>(y) * width + x]; }
};
