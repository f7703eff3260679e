// The map the viewer loaded at start-up: loading it, and its normals,
// computed once on first need (one map per run, so they never go stale).
#pragma once

#include "ptm/ptm.h"

// Loads the map named on the command line (load_ptm_or_ppms) and makes it
// the viewer's current map.
Ptm* load_ptm(const char* name);

// Computes the normal field of viewer.current_ptm into its `normals` layer,
// once: returns at once when viewer.normals_valid is set (or no map is
// loaded). Prints "Computing Normals from PTM" after allocating the layer.
void compute_normals();
