#include "tool/map_arguments.h"

#include <cstring>

#include "tool/tool_io.h"

void parse_map_arguments(ArgumentList& arguments, std::string& map, std::string& output,
                         const std::function<bool(const char* option)>& own_option) {
  bool has_map = false;
  bool has_output = false;
  while (!arguments.done()) {
    const char* argument = arguments.next();
    if (!arguments.is_option()) {
      if (has_map) throw UsageError(std::string("a second map ") + argument);
      map = argument;
      has_map = true;
      continue;
    }
    if (arguments.common_option(argument)) continue;
    if (std::strcmp(argument, "-o") == 0) {
      output = arguments.value();
      has_output = true;
    } else if (!own_option(argument)) {
      arguments.unknown_option();
    }
  }
  if (!has_map) throw UsageError("no map given");
  if (map.empty()) throw UsageError("the map name is empty");
  if (!has_output || output.empty()) throw UsageError("no output given (-o OUT)");
  check_output_is_not_input(map.c_str(), output.c_str());
}
