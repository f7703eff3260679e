// A map whose planes look like fitted coefficients of a real surface:
// smooth waves with a little noise, for the compressed-file benchmarks.
#pragma once

#include "ptm/ptm.h"

// A side x side LRGB map (wide representation) with scale 1.5, bias 128
// (0 for the constant term) and every stored byte and colour set. Same
// side, same map.
Ptm* make_smooth_lrgb_map(int side);
