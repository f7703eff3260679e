// Maps of random coefficients and colours for the benchmarks: every pixel
// differs, so no kernel profits from repetition.
#pragma once

#include "ptm/ptm.h"

// A width x height map of `format` (RGB, LRGB or LUM) in `representation`,
// with scale 256 and bias 128 (0 for the constant term), its integer
// coefficients converted. Same seed, same map.
Ptm* make_random_map(int width, int height, int format, CoefRepresentation representation,
                     unsigned seed = 7);
