// Diffuse gain: every pixel's polynomial rewritten so that it keeps its
// value and slope at the pixel's normal but has g times the curvature
// there. g > 1 sharpens the reflectance around the normal and brings out
// relief that no single light shows. The rewrite is stored in a derived map
// the evaluators read like any other, so relighting is as fast as before.
#pragma once

#include <cstdint>

#include "ptm/ptm.h"

// Diffuse Gain starts with its Amp slider at this position, and is switched
// on with the gain g = 1 + 100 v³ of the slider's position v (dragging the
// slider gives 1 + 100 x⁴, so switching on and dragging to the same place
// differ).
constexpr float starting_gain_position = 0.2f;
float gain_on_switching_on(double v);

// The rewrite of one coefficient set a0..a5 (any units) for the pixel's
// signed normal bytes nx, ny: with nu = nx / 127, nv = ny / 127 and g =
// `gain`,
//   a0' = g a0, a1' = g a1, a2' = g a2,
//   a3' = (2 a0 nu + a2 nv)(1 - g) + a3,
//   a4' = (2 a1 nv + a2 nu)(1 - g) + a4,
//   a5' = (a0 nu² + a1 nv² + a2 nu nv)(1 - g) + (a3 - a3') nu + (a4 - a4') nv + a5,
// in single precision.
void diffuse_gain_coefficients(const float a[6], float out[6], int nx, int ny, float gain);

// Integer scale and bias per coefficient covering min[k]..max[k] in 255
// steps: scale = ceil((max - min) / 255), bias = trunc(-min / scale), into
// scale_bias[k] and scale_bias[k + 6]. A scale above 256 x 256 cannot be
// coded in a byte-per-coefficient file and is reported with "That's an
// illegal scale value: %i" (scale / 256); the value is kept. A coefficient
// with the same value everywhere gets scale 0 and bias 0.
void compute_scale_bias(const float min[6], const float max[6], std::int32_t scale_bias[12]);

// Writes into `destination` (a derived map of `source`'s size, format and
// representation) the diffuse-gain rewrite of `source`'s stored bytes with
// gain `gain` and `source`'s normals (taken as facing the viewer where it
// has none), and its colour. Two passes: the range of every rewritten
// coefficient (for destination's scale_bias), then the store. RGB, LUM and
// LRGB only: any other format prints "ptm transform doesn't support this
// format" and ends the program with status -1. With `constant_term`, every
// pixel's a5 is taken as that value (display units times 256) instead of
// its stored byte: the map after its colour was discarded.
void diffuse_gain_transform(const Ptm& source, Ptm& destination, float gain,
                            const float* constant_term = nullptr);
