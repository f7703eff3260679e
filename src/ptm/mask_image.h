// The optional mask beside a PTM file (shell.ptm -> shellmask.ppm): a PPM
// of the map's size whose red byte marks, per pixel, whether it belongs to
// the object (0 = outside).
#pragma once

#include <cstdint>
#include <cstdio>

#include "ptm/ptm.h"

// Reads a P6 or P3 PPM with maximum value 255, pixels in the file's order
// (top row first, no flip). Returns width * height * 3 bytes that the caller
// releases with checked_free, or null after a message on standard error.
// A maximum value other than 255 or a type other than 3 and 6 ends the
// program with status 1.
std::uint8_t* readppm(const char* path, int& width, int& height);

// Skips whitespace and '#' comment lines at the current position.
void skip_ppm_comments(std::FILE* file);

// Looks for the mask image of the PTM file at `ptm_path` and, when it is
// there and of the map's size, fills ptm.mask from its red bytes.
void load_mask(Ptm& ptm, const char* ptm_path);
