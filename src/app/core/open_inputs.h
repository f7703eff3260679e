// The files the viewer has read its map and photographs from, which an
// output typed at one of its prompts must never replace: the map is in
// memory only as it was read, and overwriting its file (or a photograph
// it was fitted from) loses what the user opened.
#pragma once

#include <string>

// Whether an output may be written at `path`. False, after "Output <path>
// is <what>; nothing written\n" on standard output, when `path` names (by
// its text, or as the same file through another name) the open map: the
// PTM file `base_name`, or, for a map loaded from six coefficient images,
// <base_name>0.ppm .. <base_name>5.ppm and <base_name>.sab; or, once
// `photographs_loaded`, one of the photographs its light-position file
// lists.
bool output_spares_open_inputs(const std::string& path, const std::string& base_name,
                               bool photographs_loaded);
