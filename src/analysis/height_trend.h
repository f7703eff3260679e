// The overall shape of a relief, removed so that its fine relief shows.
//
// A panel or a page that is tilted, warped or bowed by centimetres carries
// incisions a fraction of a millimetre deep; in the integrated heights the
// tilt (a plane) or the bow (a quadric) spans the whole range and the
// detail vanishes in it. The trend is the least-squares fit of
//   plane    h = c0 + c1 x + c2 y
//   quadric  h = c0 + c1 x + c2 y + c3 x^2 + c4 x y + c5 y^2
// to the heights of the object's pixels, by the normal equations.
#pragma once

enum class HeightTrend { none, plane, quadric };

// Subtracts the least-squares `trend` of the finite values of `heights`
// (width x height floats, pixel index y * width + x) from every finite
// value; NaN (no height: outside the object) stays NaN. A term the pixels
// cannot determine (y on a single row, every term on a single pixel) is
// left out of the fit. The sums are taken over fixed blocks of rows and
// combined in order, so the result is the same for every thread count.
void remove_height_trend(float* heights, int width, int height, HeightTrend trend, int threads);
