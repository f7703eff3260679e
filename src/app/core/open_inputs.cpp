#include "app/core/open_inputs.h"

#include <cstdio>
#include <vector>

#include "analysis/light_positions.h"
#include "analysis/source_images.h"
#include "common/file_names.h"
#include "ptm/reader.h"

namespace {

void refuse(const std::string& path, const char* what) {
  std::printf("Output %s is %s; nothing written\n", path.c_str(), what);
}

}  // namespace

bool output_spares_open_inputs(const std::string& path, const std::string& base_name,
                               bool photographs_loaded) {
  if (is_same_file(path.c_str(), base_name.c_str())) {
    refuse(path, "the open map");
    return false;
  }
  // A map that loaded although its file does not begin like a PTM file
  // came from the six coefficient images and the scale-and-bias file.
  if (!starts_like_ptm_file(base_name.c_str())) {
    std::vector<std::string> parts{base_name + ".sab"};
    for (char i = '0'; i <= '5'; ++i) parts.push_back(base_name + i + ".ppm");
    for (const std::string& part : parts) {
      if (is_same_file(path.c_str(), part.c_str())) {
        refuse(path, "a file of the open map");
        return false;
      }
    }
  }
  if (!photographs_loaded) return true;
  const std::string lp_path = light_position_file_name(base_name);
  std::vector<LightPosition> entries;
  if (!read_light_position_file(lp_path.c_str(), entries)) return true;
  for (const LightPosition& entry : entries) {
    const std::string photograph = locate_source_photograph(lp_path.c_str(), entry.name);
    if (is_same_file(path.c_str(), photograph.c_str())) {
      refuse(path, "one of the map's photographs");
      return false;
    }
  }
  return true;
}
