// Colour maps for pictures of numbers (heights, curvature), chosen so that
// the order of the values reads from the picture alone and survives a
// grey print.
#pragma once

#include <cstdint>

// The relief map for t in 0 .. 1 (clamped): a helix through hue whose
// brightness rises steadily from black to white, so heights read in order
// even in grey (D. A. Green's cubehelix scheme, Bull. Astr. Soc. India 39,
// 2011, eq. 2, with start 0.5, rotations -1.5, hue 1, gamma 1).
void relief_colour(double t, std::uint8_t rgb[3]);

// The signed map for t in -1 .. 1 (clamped): blue below 0 through white at
// 0 to red above, equally bright at equal |t|, for values around zero such
// as curvature (concave blue, convex red).
void signed_colour(double t, std::uint8_t rgb[3]);
