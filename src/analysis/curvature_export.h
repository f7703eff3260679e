// The mean curvature of a map (curvature.h) as a file: the numbers for
// other programs, or a picture in which incisions show as blue lines and
// ridges as red ones whatever the light.
#pragma once

#include "imageio/png_image.h"
#include "ptm/ptm.h"

enum class CurvatureFileFormat {
  // One float per pixel ("Pf"), little-endian, bottom row first; NaN
  // outside the mask.
  pfm,
  // 8-bit colour: concave blue through white at 0 to convex red, symmetric
  // around 0 up to curvature_extent (a few sharp pixels do not wash out
  // the rest); outside the mask black; a legend of the extent in a band
  // below the map's pixels.
  png,
};

struct CurvatureSettings {
  double sigma = 1;          // blur of the slopes, map pixels
  double pixels_per_mm = 0;  // above 0: curvature in 1/mm, else 1/pixel
  bool scale_bar = false;    // the picture: a scale bar (with pixels_per_mm)
  int threads = 1;
};

// The curvature of `ptm` in a new array (width x height floats, map order)
// of the checked allocator: 1/pixel, or 1/mm with a scale.
float* map_curvature(const Ptm& ptm, const CurvatureSettings& settings);

// The extent of the picture's colours, the larger magnitude of the two
// ends of the central 99 % of the values (central_range); 0 when there
// are none.
double curvature_extent(const float* values, std::size_t count);

// Writes the curvature of `ptm` as `format` to `path`, a PNG with `notes`;
// the whole file or nothing. False after a message on standard error.
bool write_curvature_file(const Ptm& ptm, const CurvatureSettings& settings,
                          CurvatureFileFormat format, const char* path, const PngNotes& notes = {});
