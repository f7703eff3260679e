// The arguments of `relumo-tool info`.
#pragma once

#include <string>
#include <vector>

#include "tool/arguments.h"

struct InfoOptions {
  bool json = false;              // one JSON object per map and line
  std::vector<std::string> maps;  // at least one
};

// Parses info's arguments; a usage error (UsageError) for an unknown
// option or no map at all.
InfoOptions parse_info_arguments(ArgumentList& arguments);
