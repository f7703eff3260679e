#include "analysis/depth_export.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "analysis/depth.h"
#include "analysis/normals.h"
#include "analysis/poisson_depth.h"
#include "common/checked_alloc.h"
#include "imageio/pfm_image.h"
#include "imageio/png_image.h"

namespace {

constexpr float not_a_depth = std::numeric_limits<float>::quiet_NaN();

// Every pixel outside the mask becomes NaN (the mask's rows run opposite
// to the map's).
void clear_outside_mask(const Ptm& ptm, float* values) {
  if (ptm.mask == nullptr) return;
  const std::size_t w = static_cast<std::size_t>(ptm.width);
  for (int y = 0; y < ptm.height; ++y) {
    const std::uint8_t* mask_row = ptm.mask + static_cast<std::size_t>(ptm.height - 1 - y) * w;
    float* row = values + static_cast<std::size_t>(y) * w;
    for (std::size_t x = 0; x < w; ++x) {
      if (mask_row[x] == 0) row[x] = not_a_depth;
    }
  }
}

float* poisson_heights(const Ptm& ptm, int threads) {
  float* heights = checked_alloc_array<float>(pixel_count(ptm) + 1);
  // The unit normals of a band of rows at a time, never the whole field.
  poisson_depth(
      [&](int first, int end, float* normals) {
        compute_unit_normal_field(ptm_rows_view(ptm, first, end - first), normals);
      },
      ptm.mask, ptm.width, ptm.height, heights, threads);
  clear_outside_mask(ptm, heights);
  return heights;
}

// The rings depth, each value multiplied by `scale`, masked pixels NaN.
float* rings_values(const Ptm& ptm, const CameraParameters& camera, double scale, int threads) {
  float* depth = rings_depth(ptm, camera, threads);
  if (depth == nullptr) return nullptr;
  const std::size_t pixels = pixel_count(ptm);
  for (std::size_t i = 0; i < pixels; ++i) depth[i] = static_cast<float>(depth[i] * scale);
  clear_outside_mask(ptm, depth);
  return depth;
}

// 0 (far) .. 65535 (near) over the finite values' range, NaN as 0.
bool write_height_png(const float* heights, int width, int height, const char* path) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < pixels; ++i) {
    if (!std::isfinite(heights[i])) continue;
    lowest = std::fmin(lowest, heights[i]);
    highest = std::fmax(highest, heights[i]);
  }
  const double range = highest - lowest;
  const std::size_t w = static_cast<std::size_t>(width);
  return write_png_grey16_rows(width, height, path, [&](int y, std::uint16_t* samples) {
    const float* row = heights + static_cast<std::size_t>(y) * w;
    for (std::size_t x = 0; x < w; ++x) {
      if (!std::isfinite(row[x])) {
        samples[x] = 0;
      } else if (range > 0) {
        samples[x] = static_cast<std::uint16_t>(std::lround((row[x] - lowest) / range * 65535.0));
      } else {
        samples[x] = 32768;
      }
    }
  });
}

}  // namespace

float* rings_depth(const Ptm& ptm, const CameraParameters& camera, int threads) {
  std::vector<std::int8_t> computed;
  const std::int8_t* normals = ptm.normals;
  if (normals == nullptr) {
    computed.resize(pixel_count(ptm) * 3);
    compute_normal_field(ptm, computed.data(), threads);
    normals = computed.data();
  }
  float* depth = reconstruct_depth(normals, ptm.mask, ptm.width, ptm.height, camera);
  if (depth != nullptr) smooth_depth(depth, ptm.width, ptm.height);
  return depth;
}

float* map_heights(const Ptm& ptm, DepthMethod method, const CameraParameters& camera,
                   int threads) {
  if (method == DepthMethod::poisson) return poisson_heights(ptm, threads);
  // Depth d is (distance - initial distance) / estimated depth; one pixel
  // of the scene at the centre's distance is image width / map width of
  // the image plane times initial distance / focal length.
  const double pixel_size = static_cast<double>(camera.image_width) / ptm.width *
                            camera.initial_distance / camera.focal_length;
  const double pixels_per_depth = camera.estimated_depth / pixel_size;
  if (!std::isfinite(pixels_per_depth) || pixels_per_depth == 0) {
    std::fprintf(
        stderr,
        "The camera (image width %g, initial distance %g, focal length %g, estimated "
        "depth %g) gives the scene's pixels no size: no heights in pixels\n",
        static_cast<double>(camera.image_width), static_cast<double>(camera.initial_distance),
        static_cast<double>(camera.focal_length), static_cast<double>(camera.estimated_depth));
    return nullptr;
  }
  return rings_values(ptm, camera, -pixels_per_depth, threads);
}

bool write_depth_file(const Ptm& ptm, DepthMethod method, const CameraParameters& camera,
                      DepthFileFormat format, const char* path, int threads) {
  float* values = nullptr;
  if (method == DepthMethod::poisson) {
    values = poisson_heights(ptm, threads);
  } else {
    // The file keeps the viewer's depth; the picture only needs its order,
    // nearer brighter.
    values = rings_values(ptm, camera, format == DepthFileFormat::pfm ? 1.0 : -1.0, threads);
  }
  if (values == nullptr) return false;
  const bool written = format == DepthFileFormat::pfm
                           ? write_pfm(values, 1, ptm.width, ptm.height, path)
                           : write_height_png(values, ptm.width, ptm.height, path);
  checked_free(values);
  return written;
}
