// Any bytes as the camera file of the depth command. What the reader
// accepts must give finite depths: a small tilted map is reconstructed and
// smoothed with the values read, and every value must be finite.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "analysis/camera_file.h"
#include "analysis/depth.h"
#include "common/checked_alloc.h"
#include "fuzz_file.h"

namespace {

constexpr int width = 9;
constexpr int height = 6;

// Normals of every direction the gradient rules distinguish, steep ones
// included.
std::vector<std::int8_t> sample_normals() {
  std::vector<std::int8_t> normals;
  for (int i = 0; i < width * height; ++i) {
    normals.push_back(static_cast<std::int8_t>(i * 37 % 255 - 127));
    normals.push_back(static_cast<std::int8_t>(i * 53 % 255 - 127));
    normals.push_back(static_cast<std::int8_t>(i * 29 % 128));
  }
  return normals;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::int8_t> normals = sample_normals();
  read_fuzz_input(data, size, ".cam", [](const char* path) {
    CameraParameters camera{};
    if (!read_camera_file(path, camera)) return;
    for (float value : {camera.focal_length, camera.image_width, camera.image_height,
                        camera.estimated_depth, camera.initial_distance}) {
      if (!std::isfinite(value)) std::abort();
    }
    if (camera.estimated_depth == 0.0f) std::abort();
    float* depth = reconstruct_depth(normals.data(), nullptr, width, height, camera);
    if (depth == nullptr) return;
    smooth_depth(depth, width, height);
    for (int i = 0; i < width * height; ++i) {
      if (!std::isfinite(depth[i])) std::abort();
    }
    checked_free(depth);
  });
  return 0;
}
