#include "analysis/curvature_export.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "analysis/curvature.h"
#include "analysis/normals.h"
#include "analysis/value_range.h"
#include "common/checked_alloc.h"
#include "imageio/pfm_image.h"
#include "render/colour_maps.h"
#include "render/value_figure.h"

float* map_curvature(const Ptm& ptm, const CurvatureSettings& settings) {
  const std::size_t pixels = pixel_count(ptm);
  std::vector<float> normals(pixels * 3);
  compute_unit_normal_field(ptm, normals.data(), settings.threads);
  float* curvature = checked_alloc_array<float>(pixels + 1);
  mean_curvature(normals.data(), ptm.mask, ptm.width, ptm.height, settings.sigma,
                 settings.threads, curvature);
  // Curvature is 1 / radius: a radius of r pixels is r / ppmm millimetres.
  if (settings.pixels_per_mm > 0) {
    for (std::size_t i = 0; i < pixels; ++i) {
      curvature[i] = static_cast<float>(curvature[i] * settings.pixels_per_mm);
    }
  }
  return curvature;
}

double curvature_extent(const float* values, std::size_t count) {
  const ValueRange span = central_range(values, count, colour_range_outside);
  if (!(span.lowest <= span.highest)) return 0;
  return std::max(std::fabs(span.lowest), std::fabs(span.highest));
}

namespace {

// The signed colours over the legend's bar, -extent at its left end.
void signed_bar_colour(double t, std::uint8_t rgb[3]) { signed_colour(2 * t - 1, rgb); }

bool write_curvature_png(const float* values, int width, int height,
                         const CurvatureSettings& settings, const char* path,
                         const PngNotes& notes) {
  const double extent =
      curvature_extent(values, static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const char* unit = settings.pixels_per_mm > 0 ? "1/mm" : "1/px";
  ValueFigure figure;
  figure.colour = [&](float value, std::uint8_t rgb[3]) {
    signed_colour(extent > 0 ? value / extent : 0.0, rgb);
  };
  figure.legend = {signed_bar_colour, legend_value(-extent, unit), "0", legend_value(extent, unit),
                   "mean curvature: concave (blue) to convex (red)"};
  figure.pixels_per_mm = settings.pixels_per_mm;
  figure.scale_bar = settings.scale_bar;
  return write_value_figure(values, width, height, figure, path, notes);
}

}  // namespace

bool write_curvature_file(const Ptm& ptm, const CurvatureSettings& settings,
                          CurvatureFileFormat format, const char* path, const PngNotes& notes) {
  float* curvature = map_curvature(ptm, settings);
  const bool written = format == CurvatureFileFormat::pfm
                           ? write_pfm(curvature, 1, ptm.width, ptm.height, path)
                           : write_curvature_png(curvature, ptm.width, ptm.height, settings, path,
                                                 notes);
  checked_free(curvature);
  return written;
}
