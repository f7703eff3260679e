// Loading the map named on the command line: a PTM file, or else the base
// name of six coefficient images base0.ppm .. base5.ppm with a
// scale-and-bias file base.sab.
#pragma once

#include <string>

#include "ptm/ptm.h"

// Tries `name` as a PTM file, then as the base of six coefficient images
// making an RGB map. Never returns null: when neither loads it reports and
// ends the program with status -1. The images are not tried for a file
// that begins like a PTM file (the reader's message is followed by "Unable
// to load file <name>"), nor when neither the file nor <name>0.ppm exists
// ("File <name> does not exist").
Ptm* load_ptm_or_ppms(const char* name);

// Fills the six scales and biases of `ptm` from base + ".sab" (whitespace
// separated: six floating-point scales, six decimal biases). A missing file
// means scale 1.0 and bias 0 after a warning; an incomplete one ends the
// program with status -1.
void read_scale_bias_file(const std::string& base, Ptm& ptm);
