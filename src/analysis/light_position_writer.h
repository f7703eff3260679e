// Writing light-position files: the count on the first line, then one
// line per photograph, "name x y z", as every reader of the format takes
// them (see light_positions.h).
#pragma once

#include <vector>

#include "analysis/light_positions.h"

// Writes `entries` to `path` through OutputFile (the whole file or
// nothing), the directions with seven decimals. A name that is empty or
// holds a blank or a line end cannot be read back as one word and is
// refused before anything is written. False after a message on standard
// output naming the file (and the name).
bool write_light_position_file(const char* path, const std::vector<LightPosition>& entries);
