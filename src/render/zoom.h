// The zoomed view: a map's coefficients, colour and normals resampled for a
// zoom factor and pan, so that every later frame evaluates one map pixel per
// view pixel whatever the zoom; and the normal field shown as a picture.
//
// Destination pixel (x, y) shows the source at the fractional position
//   fx = x / zoom + width * pan_u,  fy = y / zoom + height * pan_v
// (single precision). Only positions with 0 < fx < width - 2 and
// 0 < fy < height - 2 are resampled, bilinearly from the four source pixels
// around them; every other destination pixel is black (all its resampled
// elements 0), so no position ever reads outside the source.
#pragma once

#include "common/rgb_image.h"
#include "ptm/ptm.h"

// Whether a source coordinate f of a map `size` pixels long lies where
// the zoom resamples: strictly inside, one pixel of margin on the far side
// so that the +1 neighbour exists.
inline bool inside_zoom_margin(float f, int size) {
  return 0 < f && f < static_cast<float>(size - 2);
}

enum class ZoomResult {
  done,
  size_mismatch,       // nothing written; the view keeps its previous zoom
  unsupported_format,  // nothing written; the caller drops back to the unzoomed view
};

// Resamples `source` into `destination` (same size, format and
// representation; destination's colour planes its own, not the source's).
// Elements per format: RGB the 18 coefficients (wide: coef_int, bilerp_s32;
// packed: the six of each channel group, bilerp_s16, pads untouched); LUM
// colour planes 0 and 2 (bilerp_u8) and lum_coef_int; LRGB the three colour
// planes and lum_coef_int, or the packed record's six coefficients and three
// colour bytes (bilerp_s16) with its last byte 0.
// A size mismatch prints "zoom error:  src and destination sizes must be
// equal" and a format other than RGB, LUM or LRGB prints "Sorry, zoom with
// this type of surface not supported yet.  Please report bug.", both on
// standard error.
ZoomResult zoom_ptm_into(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                         float pan_v);

// The same for a destination of any size, the view: its pixel (x, y) is
// the zoomed picture's pixel (x, y), whatever the source's size, so a view
// of a huge map costs the view's pixels alone. No size is refused. Blocks
// of rows go to up to `threads` threads (the same bytes for any number).
ZoomResult zoom_ptm_view(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                         float pan_v, int threads = 1);

// Resamples source.normals into destination.normals (allocated here on
// first use, width * height * 3 bytes) per component with bilerp_s8 and the
// mapping above. Returns false and changes nothing when the source has no
// normals or the sizes differ.
bool zoom_normals_into(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                       float pan_v);

// The same into a destination of any size (the view), as zoom_ptm_view;
// false when the source has no normals.
bool zoom_normals_view(const Ptm& source, Ptm& destination, float zoom_factor, float pan_u,
                       float pan_v, int threads = 1);

// The normal field as colours: every pixel of `view` (its own width and
// height, at most the map's) gets the map's three normal bytes at the same
// (x, y) plus 128 modulo 256, so -127..127 show as 1..255 and 0 as mid
// grey. `ptm` must have normals.
void normal_image(const Ptm& ptm, RgbImage& view);
