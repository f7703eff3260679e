#include "analysis/depth_export.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "analysis/depth.h"
#include "analysis/gaussian_blur.h"
#include "analysis/normals.h"
#include "analysis/poisson_depth.h"
#include "analysis/value_range.h"
#include "common/checked_alloc.h"
#include "common/parallel.h"
#include "imageio/pfm_image.h"
#include "imageio/png_image.h"
#include "render/colour_maps.h"
#include "render/value_figure.h"

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

// The Poisson heights in pixels without their trend.
float* poisson_heights(const Ptm& ptm, const DepthSettings& settings) {
  float* heights = checked_alloc_array<float>(pixel_count(ptm) + 1);
  // The unit normals of a band of rows at a time, never the whole field.
  poisson_depth(
      [&](int first, int end, float* normals) {
        compute_unit_normal_field(ptm_rows_view(ptm, first, end - first), normals);
      },
      ptm.mask, ptm.width, ptm.height, heights, settings.threads);
  clear_outside_mask(ptm, heights);
  remove_height_trend(heights, ptm.width, ptm.height, settings.trend, settings.threads);
  return heights;
}

// The fine relief: each value minus the blur of its surroundings.
void keep_detail(const Ptm& ptm, const DepthSettings& settings, float* values) {
  if (!(settings.detail_sigma > 0)) return;
  const std::size_t pixels = pixel_count(ptm);
  std::vector<float> blurred(pixels);
  gaussian_blur(values, ptm.width, ptm.height, settings.detail_sigma, settings.threads,
                blurred.data());
  parallel_blocks(settings.threads, static_cast<std::int64_t>(pixels), std::int64_t{1} << 16,
                  [&](std::int64_t begin, std::int64_t end) {
                    for (std::int64_t i = begin; i < end; ++i) values[i] -= blurred[i];
                  });
}

void scale_values(float* values, std::size_t count, double factor) {
  if (factor == 1.0) return;
  for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<float>(values[i] * factor);
}

// Millimetres per map pixel with a scale, else 1 (heights stay in pixels).
double height_unit(const DepthSettings& settings) {
  return settings.pixels_per_mm > 0 ? 1.0 / settings.pixels_per_mm : 1.0;
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
bool write_height_png(const float* heights, int width, int height, const char* path,
                      const PngNotes& notes) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::size_t w = static_cast<std::size_t>(width);
  const ValueRange span = finite_range(heights, pixels);
  const double lowest = span.lowest;
  const double range = span.highest - span.lowest;
  return write_png_grey16_rows(
      width, height, path,
      [&](int y, std::uint16_t* samples) {
        const float* row = heights + static_cast<std::size_t>(y) * w;
        for (std::size_t x = 0; x < w; ++x) {
          if (!std::isfinite(row[x])) {
            samples[x] = 0;
          } else if (range > 0) {
            samples[x] =
                static_cast<std::uint16_t>(std::lround((row[x] - lowest) / range * 65535.0));
          } else {
            samples[x] = 32768;
          }
        }
      },
      notes);
}

// What the colour picture shows, for its legend.
std::string colour_caption(const DepthSettings& settings) {
  if (settings.detail_sigma > 0) {
    char text[96];
    std::snprintf(text, sizeof text, "fine relief: height above its blur of %g px",
                  settings.detail_sigma);
    return text;
  }
  if (settings.method == DepthMethod::poisson && settings.trend == HeightTrend::plane) {
    return "height above the object's plane";
  }
  if (settings.method == DepthMethod::poisson && settings.trend == HeightTrend::quadric) {
    return "height above the object's quadric";
  }
  return "height";
}

// The heights through the relief colour map over their central range,
// with the legend below and the scale bar when asked for.
bool write_height_colour_png(const float* heights, int width, int height,
                             const DepthSettings& settings, const char* path,
                             const PngNotes& notes) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const ValueRange span = central_range(heights, pixels, colour_range_outside);
  const double range = span.highest - span.lowest;
  const char* unit = settings.pixels_per_mm > 0 ? "mm" : "px";
  const bool any = span.lowest <= span.highest;
  ValueFigure figure;
  figure.colour = [&](float value, std::uint8_t rgb[3]) {
    relief_colour(range > 0 ? (value - span.lowest) / range : 0.5, rgb);
  };
  figure.legend = {relief_colour, any ? legend_value(span.lowest, unit) : "", "",
                   any ? legend_value(span.highest, unit) : "", colour_caption(settings)};
  figure.pixels_per_mm = settings.pixels_per_mm;
  figure.scale_bar = settings.scale_bar;
  return write_value_figure(heights, width, height, figure, path, notes);
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

float* map_heights(const Ptm& ptm, const DepthSettings& settings, const CameraParameters& camera) {
  if (settings.method == DepthMethod::poisson) {
    float* heights = poisson_heights(ptm, settings);
    keep_detail(ptm, settings, heights);
    scale_values(heights, pixel_count(ptm), height_unit(settings));
    return heights;
  }
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
  float* heights =
      rings_values(ptm, camera, -pixels_per_depth * height_unit(settings), settings.threads);
  if (heights != nullptr) keep_detail(ptm, settings, heights);
  return heights;
}

bool write_depth_file(const Ptm& ptm, const DepthSettings& settings,
                      const CameraParameters& camera, DepthFileFormat format, const char* path,
                      const PngNotes& notes) {
  float* values = nullptr;
  if (settings.method == DepthMethod::rings && format != DepthFileFormat::colour_png) {
    // The file keeps the viewer's depth; the grey picture only needs its
    // order, nearer brighter.
    values =
        rings_values(ptm, camera, format == DepthFileFormat::pfm ? 1.0 : -1.0, settings.threads);
    if (values != nullptr) keep_detail(ptm, settings, values);
  } else {
    values = map_heights(ptm, settings, camera);
  }
  if (values == nullptr) return false;
  bool written = false;
  switch (format) {
    case DepthFileFormat::pfm:
      written = write_pfm(values, 1, ptm.width, ptm.height, path);
      break;
    case DepthFileFormat::png:
      written = write_height_png(values, ptm.width, ptm.height, path, notes);
      break;
    case DepthFileFormat::colour_png:
      written = write_height_colour_png(values, ptm.width, ptm.height, settings, path, notes);
      break;
  }
  checked_free(values);
  return written;
}
