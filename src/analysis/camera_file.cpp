#include "analysis/camera_file.h"

#include <cmath>
#include <cstdio>

#include "common/file_handle.h"

namespace {

struct CameraValue {
  const char* format;  // one scan: the keywords, the number, what follows
  const char* name;    // for messages
  float CameraParameters::*field;
};

// The five scans, in file order. A white-space directive matches any run
// of white space, including none; the literal comma ending the second and
// third scans may fail to match without losing the number before it (the
// next scan then starts at the next keyword). Each scan begins with white
// space too, so that a comma that did match may end its line.
constexpr CameraValue camera_values[] = {
    {" focal length %f\n", "focal length", &CameraParameters::focal_length},
    {" image width %f\n,", "image width", &CameraParameters::image_width},
    {" image height %f\n,", "image height", &CameraParameters::image_height},
    {" estimated depth %f\n", "estimated depth", &CameraParameters::estimated_depth},
    {" initial distance %f\n", "initial distance", &CameraParameters::initial_distance},
};

}  // namespace

bool camera_file_name(const std::string& map_name, std::string& camera_name) {
  if (map_name.size() < 3) return false;
  camera_name = map_name.substr(0, map_name.size() - 3) + "cam";
  return true;
}

bool read_camera_file(const char* path, CameraParameters& camera) {
  FileHandle file(std::fopen(path, "r"));
  if (!file) {
    std::fprintf(stderr, "Unable to open %s camera file, aborting depth calculation\n", path);
    return false;
  }
  for (const CameraValue& value : camera_values) {
    float number = 0.0f;
    const int scanned = std::fscanf(file.get(), value.format, &number);
    if (scanned != 1) {
      std::fprintf(stderr, "Camera file %s: no number after \"%s\", aborting depth calculation\n",
                   path, value.name);
      return false;
    }
    // "inf", "nan" and numbers beyond single precision (which overflow to
    // infinity) would make every depth value infinite or not a number.
    if (!std::isfinite(number)) {
      std::fprintf(stderr,
                   "Camera file %s: the %s is not a finite number, aborting depth calculation\n",
                   path, value.name);
      return false;
    }
    camera.*value.field = number;
  }
  if (camera.estimated_depth == 0.0f) {
    std::fprintf(stderr,
                 "Camera file %s: the estimated depth is 0, but every depth is divided by it; "
                 "aborting depth calculation\n",
                 path);
    return false;
  }
  return true;
}
