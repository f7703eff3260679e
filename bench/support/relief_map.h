// The sample relief (analysis/sample_relief.h) at any size, fitted as the
// build's sample map is: Lambertian photographs under the 48 sample lights
// and the LRGB least-squares fit. The photographs are rendered and fitted a
// strip of rows at a time, so that a 4096 x 4096 map needs the relief and
// one strip's photographs, not 48 full-size ones.
#pragma once

#include "ptm/ptm.h"

// A width x height LRGB map of the relief in this processor's
// representation. Same size, same map.
Ptm* make_relief_lrgb_map(int width, int height);
