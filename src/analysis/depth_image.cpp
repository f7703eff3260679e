#include "analysis/depth_image.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/checked_alloc.h"
#include "imageio/image_files.h"

bool write_depth_image(const float* depth, int width, int height, const char* path) {
  const std::size_t w = static_cast<std::size_t>(width > 0 ? width : 0);
  const std::size_t pixels = w * static_cast<std::size_t>(height > 0 ? height : 0);
  float nearest = 3.4028235e38f;
  float farthest = -3.4028235e38f;
  for (std::size_t i = 0; i < pixels; ++i) {
    if (!std::isfinite(depth[i])) continue;
    if (depth[i] < nearest) nearest = depth[i];
    if (depth[i] > farthest) farthest = depth[i];
  }
  const double range = static_cast<double>(farthest) - static_cast<double>(nearest);
  std::uint8_t* grey = checked_alloc_array<std::uint8_t>(pixels + 1);
  for (int y = 0; y < height; ++y) {
    const float* row = depth + static_cast<std::size_t>(y) * w;
    std::uint8_t* out = grey + static_cast<std::size_t>(height - 1 - y) * w;
    for (std::size_t x = 0; x < w; ++x) {
      const double d = row[x];
      if (!std::isfinite(d)) {
        out[x] = 0;
      } else if (range > 0) {
        const double level = 255.0 - (d - nearest) * 255.0 / range;
        out[x] = static_cast<std::uint8_t>(static_cast<int>(level));
      } else {
        out[x] = 128;
      }
    }
  }
  const bool written = write_grey_ppm(grey, path, width, height);
  checked_free(grey);
  return written;
}
