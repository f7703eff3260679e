// Reading a PTM file, in any of its nine storage formats, into a new map.
#pragma once

#include "ptm/ptm.h"

// Reads the file at `path` in the representation of this processor. Prints
// the path, the format line and any error on standard output; returns null
// (after discarding a partly built map) when the file cannot be opened or
// is not a readable PTM.
Ptm* read_ptm_file(const char* path);

// The same in a chosen coefficient representation (LUM is always wide).
Ptm* read_ptm_file(const char* path, CoefRepresentation representation);

// Whether the file at `path` opens and its first header item begins as a
// PTM magic word does ("PTM" or "SRF"): a file meant as a PTM file, whose
// refusal by read_ptm_file is final.
bool starts_like_ptm_file(const char* path);
