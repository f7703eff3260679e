// Loading the map named on the command line: a PTM file, or else the base
// name of six coefficient images base0.ppm .. base5.ppm with a
// scale-and-bias file base.sab.
#pragma once

#include <string>

#include "ptm/ptm.h"

// Tries `name` as a PTM file, then as the base of six coefficient images
// making an RGB map. Never returns null: when neither loads it reports and
// ends the program with status -1. The images are tried only when
// <name>0.ppm exists and `name` is no file or a file of no known kind. A
// file that begins like a PTM file gets the reader's message and "Unable to
// load file <name>"; a picture, a folder or an empty file is named as such
// ("photo.jpg is a JPEG picture, not a PTM map"); a name that is neither a
// file nor the base of images gets "File <name> does not exist".
Ptm* load_ptm_or_ppms(const char* name);

// Fills the six scales and biases of `ptm` from base + ".sab" (whitespace
// separated: six floating-point scales, six decimal biases). A missing file
// means scale 1.0 and bias 0 after a warning; an incomplete one ends the
// program with status -1.
void read_scale_bias_file(const std::string& base, Ptm& ptm);
