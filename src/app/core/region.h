// The image view's selected region, the zoom and pan it leads to, and the
// other input arithmetic that needs no window: the light steered from the
// reflectance plot and the discard-colour rewrite. Everything here changes
// `viewer` fields (or the map given) and leaves redrawing, cursors and the
// rebuilding of the zoomed map to the window code, which each function's
// result tells what to do.
//
// View coordinates: x to the right, y upward from the bottom row of the
// view; corners are inclusive.
#pragma once

#include "ptm/ptm.h"

// The region back to the whole view: corners (0, 0) and (view width - 1,
// view height - 1), region_image sized to it, its origin (0, 0).
void reset_region();

// Both corners forced into the view; region_image sized to the corners and
// its origin at the first corner. The caller has ordered the corners.
void clamp_region();

// "\rSelected size: W x H at X Y" and eleven blanks on standard output,
// flushed: the carriage return and blanks let the line rewrite itself in
// place while the user drags.
void print_selection();

// The zoom and pan that make the region (view pixels x0 <= x1, y0 <= y1)
// fill the view with its centre in the view's centre, kept as pending
// until '+' takes them. A region of a single pixel has no extent to fill
// the view with: it leaves no zoom pending, so '+' simply doubles.
void compute_pending_zoom(int x0, int y0, int x1, int y1);

// A position in the 250 x 250 reflectance window (y downward) as a light
// direction: ((x - 125) 0.008, (125 - y) 0.008) times `extent`. Positions
// whose unscaled u or v is not strictly inside (-1, 1) are refused and
// leave (u, v) unchanged.
bool reflectance_position_to_light(int x, int y, float extent, float& u, float& v);

// A position on the loaded map in fractional pixels (x to the right, y
// upward from row 0).
struct MapPoint {
  float x;
  float y;
};

// The map position the probe's view pixel shows under the current zoom and
// pan (the pixel itself while unzoomed).
MapPoint probe_map_position();

// Moves the probe to the view pixel that shows map position `at` under the
// current zoom and pan, kept inside the view and, while zoomed, on a pixel
// that shows the map rather than the black margin around it (the nearest
// such pixel). After a reshape the probe so stays on the feature it was on.
void place_probe(MapPoint at);

// '+': takes the pending region zoom (and resets the region) or doubles the
// zoom about the view's centre; always zoomed afterwards. Returns whether
// the zoomed map must be rebuilt (always).
bool zoom_in();

// '-': drops a pending region zoom and halves the zoom about the view's
// centre, stopping at the fit zoom (whole map, centred) when the map does
// not fit the window, or returning to the unzoomed view when it does.
// Returns whether the zoomed map must be rebuilt (false when unzoomed).
bool zoom_out();

enum class PanDirection { left, right, up, down };

// Arrow keys: a quarter of the view in map units per press, unlimited;
// drops a pending region zoom. Only while zoomed: returns false and changes
// nothing otherwise, true when the zoomed map must be rebuilt.
bool pan_view(PanDirection direction);

// 'd': turns an LRGB map grey with one light-independent term: every
// pixel's a5 becomes the mean a5 of the map (truncated toward zero) and its
// colour (127, 127, 127), in whichever representation the map holds. The
// stored coefficient bytes stay as they were read (a cropped file keeps
// them); `constant_term` receives the mean in the units the diffuse-gain
// transform decodes stored bytes to (display units times 256), so that the
// transform of the discarded map can take it in place of the stored a5.
// Other formats print "Discard color info command not implemented for this
// format of PTM" on standard output, change nothing and return false.
bool discard_color(Ptm& ptm, float& constant_term);
