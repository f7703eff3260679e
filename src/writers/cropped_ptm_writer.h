// The viewer's "Output Cropped Ptm File": the selected part of the view
// written as a PTM file of the map's own format.
//
// The selection is kept in view pixels; while the view shows a resampled
// (zoomed) copy of the map, its corners are taken back to map pixels first.
#pragma once

#include "ptm/ptm.h"

// The selection as the view holds it: two opposite corners in view pixels
// (x from the left, y from the bottom, inclusive, in either order) and the
// zoom the view shows them at.
struct ViewSelection {
  int x0, y0, x1, y1;
  bool zoomed;
  float zoom_factor;  // view pixels per map pixel
  float pan_u, pan_v;  // the view's left and bottom edge, as fractions of the map
};

// A rectangle of map pixels: columns xs .. xs + w - 1 of rows ys .. ys + h - 1.
struct PtmRect {
  int xs, ys, w, h;
};

// The map pixels under the selection, for a map of width x height pixels.
// Unzoomed, view pixels are map pixels. Zoomed, each corner maps to
// x' = trunc(width * pan_u + x / zoom_factor + 0.5) (and y' likewise with
// height and pan_v), in single precision as the view computes its pan, the
// half added in double. Either way both corners are then forced into the
// map, so the rectangle is never empty and never leaves it.
PtmRect crop_rectangle(const ViewSelection& selection, int width, int height);

// Writes `rect` of `ptm` to `path` as a version 1.2 PTM file of the map's
// format (RGB, LUM or LRGB), copying the stored coefficient and colour
// bytes (write_ptm_region). Messages on standard output: "Can't open PTM
// file %s for writing", "Writing PTM File %s"; a map of another format gets
// "PTM write error: Unsupported ptm format" and a rectangle outside the map
// says so; both leave the file system untouched. False unless the whole
// file was written.
bool write_cropped_ptm_file(const Ptm& ptm, const PtmRect& rect, const char* path);
