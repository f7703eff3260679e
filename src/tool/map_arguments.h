// The arguments every command that makes something of one map shares: the
// map as the one operand, -o OUT, and the options of every command.
#pragma once

#include <functional>
#include <string>

#include "tool/arguments.h"

// Parses the whole list: the operand into `map`, -o into `output`, the
// common options; `own_option` takes every other option and says whether
// it did (else it is a usage error). A usage error for no map, a second
// one, an empty name, no output, and an output that names the map.
void parse_map_arguments(ArgumentList& arguments, std::string& map, std::string& output,
                         const std::function<bool(const char* option)>& own_option);
