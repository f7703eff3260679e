// A map resampled to another size, as if its file had been made at that
// size: every stored element (coefficient bytes, colour) interpolated, the
// integer coefficients then converted from them as on loading.
#pragma once

#include "ptm/ptm.h"

// A width x height copy of `source` (RGB, LUM or LRGB as read from a file,
// with its stored coefficient planes) in the same format, representation
// (stored too),
// scales and biases. Destination pixel (x, y) takes each stored element
// bilinearly (bilerp_u8) at fx = x * W / width, fy = y * H / height (W, H
// the source's size, exact rational positions), the neighbours beyond the
// last column or row clamped to it. No normals and no mask. Null when the
// source has no stored planes or the size cannot be allocated here
// (ptm_size_fits). Released with free_ptm.
Ptm* resize_ptm(const Ptm& source, int width, int height);
