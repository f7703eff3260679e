// The reflectance-function plot: one pixel of a map (the probe) shown under
// every light direction, one direction per plot pixel; and where the
// plot's overlays (light marker, normal crosshair and scatter, source
// samples) fall on it. Drawing the overlays is the window's business; only
// their positions are computed here.
//
// Plot geometry, with E = light_extent and Wh, Hh the integer halves of the
// plot's width and height: column j and row i stand for
//   u = E (j - Wh) / Wh,  v = E (i - Hh) / Hh,
// so the disc of reachable directions u^2 + v^2 <= E^2 fills the plot.
#pragma once

#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/render_mode.h"

// The light coordinate of plot column (or row) `index`, for the integer
// half `half` of the plot's width (or height): E (index - half) / half in
// single precision.
inline float plot_light(int index, int half, float extent) {
  return extent * static_cast<float>(index - half) / static_cast<float>(half);
}

// Fills every pixel of `image`, with E = mode.light_extent: outside the
// disc mid grey (128, 128, 128); while extrapolating (E > 1) the unit
// circle, 0.97 < u^2 + v^2 < 1.03, dark red (128, 0, 0); elsewhere the
// probe evaluated for (u, v). With specular enhancement, the highlight of
// the probe's normal is added to every pixel inside the disc, ring
// included. A probe outside the map leaves the image as it was.
void render_reflectance_function(RgbImage& image, const Ptm& ptm, const RenderMode& mode,
                                 int probe_x, int probe_y);

// A position on the 250 x 250 plot, column and row from the lower left.
struct PlotPoint {
  int x;
  int y;
};

// Where a light direction is drawn: trunc(u 125 / E + 125),
// trunc(v 125 / E + 125). Serves the light marker and the centre of a
// source photograph's sample square (u 250 / (2 E) is the same number:
// doubling both sides is exact in binary floating point).
PlotPoint plot_position(float u, float v, float extent);

// Where a stored normal (signed bytes, 127 = 1.0) is drawn, for the
// crosshair and the normal scatter: trunc(q(n) / E) + 125 with
// q(n) = 125 n / 128 in integer arithmetic.
PlotPoint normal_plot_position(std::int8_t nx, std::int8_t ny, float extent);

