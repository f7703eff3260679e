// Surface normals from a PTM.
//
// Each pixel's luminance model L(u, v) = a0 u^2 + a1 v^2 + a2 u v + a3 u +
// a4 v + a5 is brightest for the light direction that faces the surface;
// that direction (u, v, sqrt(1 - u^2 - v^2)) is taken as the pixel's
// normal. The field is stored in the map's `normals` layer as signed bytes
// trunc(127 * component), x, y, z per pixel in pixel order; consumers that
// show it add 128.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ptm/ptm.h"

// The normal field of `ptm` into `normals` (3 bytes per pixel), rows from
// y = 0 and columns from x = 0, the pixels shared among `threads` threads
// (each computed alone: the same bytes for any number). A format other
// than RGB, LUM or LRGB prints "Unsupported ptm format for specular
// effects" and ends the program with status -1 (before the first pixel).
void compute_normal_field(const Ptm& ptm, std::int8_t* normals, int threads = 1);

// The unit normals of `ptm` before they are truncated to bytes: x, y, z
// per pixel as floats, in the order of compute_normal_field, which stores
// trunc(127 * component) of these same values (rounded to float here).
// Unsupported formats end the program as there. The pixels are shared
// among `threads` threads; each is computed alone, so the numbers do not
// depend on how many.
void compute_unit_normal_field(const Ptm& ptm, float* normals, int threads = 1);

// The luminance model a0..a5 of one pixel, in display units: each stored
// byte decoded as (b - bias) * scale in 32-bit arithmetic (scale x 256,
// hence the final / 256); RGB maps mix 0.3 red + 0.59 green + 0.11 blue.
// `ptm` must be RGB, LUM or LRGB.
void luminance_coefficients(const Ptm& ptm, std::size_t pixel, double a[6]);

// The normal of one luminance model as the three stored bytes: the
// interior maximum when the model has a proper one well inside the unit
// disc, otherwise the brightest point of the unit circle (or the interior
// stationary point pulled onto the circle when the circle search finds no
// root). A model with no u or v terms faces straight up: (0, 0, 127).
void normal_from_coefficients(const double a[6], std::int8_t normal[3]);

// The same normal as the unit vector (u, v, sqrt(1 - u^2 - v^2)) that
// normal_from_coefficients truncates; z is 0 where rounding puts (u, v)
// just outside the unit circle.
void unit_normal_from_coefficients(const double a[6], double normal[3]);

// The brightest point of the unit circle for the model a0..a5: the
// brightest of the stationary points t of L(2t / (1 + t^2), (1 - t^2) /
// (1 + t^2)) (the roots of a quartic), unless a sample of the arc from 260
// to 280 degrees, around the point (0, -1) that no finite t reaches, is
// brighter. A model a0 (u^2 + v^2) + a5, the same all round the circle,
// answers (0, 1). Returns 1 and sets (u, v), or, when the quartic yields
// no root or no report at all, prints "Error: No roots could be found,
// resort to clamping" and returns -1 with (u, v) untouched.
int maximize_on_unit_circle(const double a[6], double& u, double& v);
