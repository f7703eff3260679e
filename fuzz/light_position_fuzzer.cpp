// Any bytes as the text of a light-position file, parsed from memory: the
// photographs it names are never opened.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "analysis/light_positions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<LightPosition> entries;
  const bool read = parse_light_positions(
      std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.lp", entries);
  // A refused file leaves no entries; every entry has a name.
  if (!read && !entries.empty()) std::abort();
  for (const LightPosition& entry : entries) {
    if (entry.name.empty()) std::abort();
  }
  return 0;
}
