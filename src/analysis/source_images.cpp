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
#include "imageio/image_files.h"
#include "imageio/jpeg_photograph.h"

namespace {

enum class PhotographKind { ppm, jpeg, other };

bool ends_with(const std::string& name, const char* suffix) {
  const std::string s(suffix);
  return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
}

// By the name's ending, case-sensitive: ".ppm" only in lower case (so
// ".PPM" is refused), the JPEG endings in either case but not mixed.
PhotographKind photograph_kind(const std::string& name) {
  if (ends_with(name, ".ppm")) return PhotographKind::ppm;
  for (const char* suffix : {".jpg", ".jpeg", ".JPG", ".JPEG"}) {
    if (ends_with(name, suffix)) return PhotographKind::jpeg;
  }
  return PhotographKind::other;
}

RgbImage* read_photograph(PhotographKind kind, const std::string& path) {
  return kind == PhotographKind::ppm ? Input_ppm_and_create_as_char_image(path.c_str())
                                     : read_jpeg_photograph(path.c_str());
}

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
  for (LightPosition& entry : entries) {
    normalise_light_direction(entry.x, entry.y, entry.z);
    const PhotographKind kind = photograph_kind(entry.name);
    if (kind == PhotographKind::other) {
      std::printf("\n");
      std::printf("Source images: only ppm loading supported currently\n");
      std::printf("Problem file: %s\n", entry.name.c_str());
      return abandon(set);
    }
    RgbImage* image = read_photograph(kind, locate_source_photograph(lp_path, entry.name));
    if (image == nullptr) {
      std::printf("File %s not read, aborting Source Read\n", entry.name.c_str());
      return abandon(set);
    }
    // Counted in the set at once, so that abandoning releases it too.
    set.images[set.count++] = SourceImage{image, entry.x, entry.y};
    if (image->width != width || image->height != height) {
      std::printf(
          "\nAborting file read, size of source image specified in lp file does not match size "
          "of current ptm\n");
      return abandon(set);
    }
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
