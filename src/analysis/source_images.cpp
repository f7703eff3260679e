#include "analysis/source_images.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/light_positions.h"
#include "common/checked_alloc.h"
#include "common/file_names.h"
#include "imageio/photograph_file.h"

namespace {

bool abandon(SourceImageSet& set) {
  free_source_images(set);
  return false;
}

}  // namespace

std::string locate_source_photograph(const char* lp_path, const std::string& name) {
  const std::string lp_folder = std::string(lp_path).substr(0, file_name_start(lp_path));
  std::vector<std::string> candidates;
  auto add = [&](const std::string& n) {
    if (!lp_folder.empty() && n.front() != '/') candidates.push_back(lp_folder + n);
    candidates.push_back(n);
  };
  add(name);
  if (name.find('\\') != std::string::npos) {
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    add(slashed);
  }
  for (const std::string& candidate : candidates) {
    if (access(candidate.c_str(), R_OK) == 0) return candidate;
  }
  return name;
}

void normalise_light_direction(float& x, float& y, float& z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length > 0) {
    const float inverse = 1.0f / length;
    x *= inverse;
    y *= inverse;
    z *= inverse;
  } else {
    std::printf("Caution, length zero vector found in lp file: %f %f %f\n", x, y, z);
  }
}

void free_source_images(SourceImageSet& set) {
  for (int i = 0; i < set.count; ++i) free_rgb_image(set.images[i].image);
  checked_free(set.images);
  set.images = nullptr;
  set.count = 0;
}

bool read_source_images(const char* lp_path, int width, int height, SourceImageSet& set) {
  std::vector<LightPosition> entries;
  if (!read_light_position_file(lp_path, entries)) return false;
  const int count = static_cast<int>(entries.size());
  std::printf("%d images to read", count);
  std::fflush(stdout);

  set.images = checked_alloc_array<SourceImage>(static_cast<std::size_t>(count));
  set.count = 0;
  // The map's size is checked against each photograph's header before it
  // is decoded: a photograph of another size costs nothing.
  PhotographRequest request;
  request.width = width;
  request.height = height;
  bool told_conversion = false;
  for (LightPosition& entry : entries) {
    normalise_light_direction(entry.x, entry.y, entry.z);
    const std::string path = locate_source_photograph(lp_path, entry.name);
    Photograph photograph;
    switch (read_photograph(path.c_str(), request, photograph)) {
      case PhotographRead::read:
        break;
      case PhotographRead::other_size:
        std::printf(
            "\nAborting file read, size of source image specified in lp file does not match "
            "size of current ptm\n");
        return abandon(set);
      case PhotographRead::unreadable:
        std::printf("File %s not read, aborting Source Read\n", entry.name.c_str());
        return abandon(set);
    }
    tell_colour_conversion(photograph, path.c_str(), told_conversion);
    // Counted in the set at once, so that abandoning releases it too.
    set.images[set.count++] = SourceImage{photograph_rgb_image(photograph), entry.x, entry.y};
    std::printf(".");
    std::fflush(stdout);
  }
  std::printf("done\n");
  return true;
}

int select_source_image(const SourceImageSet& set, float lu, float lv, bool announce) {
  // Squared distances in single precision, as the directions are stored;
  // the threshold is 0.1 squared in double precision.
  float best = 100000.0f;
  int nearest = -1;
  for (int i = 0; i < set.count; ++i) {
    const float dv = set.images[i].lv - lv;
    const float du = set.images[i].lu - lu;
    const float d = dv * dv + du * du;
    if (d < best) {
      best = d;
      nearest = i;
    }
  }
  if (nearest < 0 || best >= 0.010000000000000002) return -1;
  if (announce) std::printf("Source image %d displayed\n", nearest);
  return nearest;
}
