// A picture of numbers for a report (heights, curvature): each value
// through a colour map, no value black, a scale bar when asked for, and
// the legend below (colour_legend.h).
#pragma once

#include <cstdint>
#include <functional>

#include "imageio/png_image.h"
#include "render/colour_legend.h"

struct ValueFigure {
  // The colour of a finite value.
  std::function<void(float value, std::uint8_t rgb[3])> colour;
  ColourLegend legend;
  double pixels_per_mm = 0;  // above 0 with scale_bar: a scale bar
  bool scale_bar = false;
};

// Writes width x height values (row 0 the bottom row) as the figure, an
// 8-bit RGB PNG with `notes`, the whole file or nothing; false after a
// message on standard error (also when no font can be opened for the
// legend).
bool write_value_figure(const float* values, int width, int height, const ValueFigure& figure,
                        const char* path, const PngNotes& notes);
