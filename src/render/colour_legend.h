// The legend of a picture of numbers (heights, curvature): a band below
// the picture with the colour bar and the values at its ends, so that the
// figure can be read on its own.
#pragma once

#include <cstdint>
#include <string>

#include "common/rgb_image.h"
#include "render/text_drawing.h"

struct ColourLegend {
  // The picture's colour of t in 0 .. 1, the bar from left to right.
  void (*colour)(double t, std::uint8_t rgb[3]);
  std::string low;      // under the bar's left end
  std::string middle;   // under its middle; may be empty
  std::string high;     // under its right end
  std::string caption;  // what the colours are, centred below the values
};

// A new picture (the checked allocator's; free_rgb_image): `picture` on
// top, unchanged, and below it a white band with the legend, its text
// sized to the picture's width.
RgbImage* with_colour_legend(const RgbImage& picture, const ColourLegend& legend,
                             TextFont& font);

// A value with its sign and three significant digits and its unit:
// "+3.96 px", "−0.0213 1/mm" (a true minus sign), "0".
std::string legend_value(double value, const char* unit);
