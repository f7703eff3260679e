#include "web/published_map.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "analysis/normals.h"
#include "analysis/ptm_fit.h"
#include "common/parallel.h"
#include "ptm/coefficients.h"

namespace {

constexpr std::int64_t pixels_per_block = 1 << 16;

// Coefficient k of a LUM pixel in display units, as the evaluators decode
// it: trunc((b - bias) * scale / 256). The wide form holds that times 16
// for a0..a4, and the same rule serves a5 here.
double lum_coefficient(const Ptm& map, int k, std::size_t pixel) {
  const std::uint8_t stored = map.coef_planes[k < 3 ? 0 : 1][pixel * 3 + k % 3];
  return wide_coefficient(0, stored, map.scale_bias[k], map.scale_bias[6 + k]) / 16;
}

// The six expanded coefficients of channel c of a LUM pixel (display
// units), by the rule in the header.
void expanded_coefficients(const Ptm& map, int c, std::size_t pixel, double out[6]) {
  const float* m = map.color_matrix + 4 * c;
  const double luminance_weight = m[1];
  for (int k = 0; k < 5; ++k) out[k] = luminance_weight * lum_coefficient(map, k, pixel);
  double chroma = m[0] * static_cast<double>(map.color_planes[0][pixel]) +
                  m[2] * static_cast<double>(map.color_planes[2][pixel]) + m[3];
  // With the luminance taken whole (every YCbCr matrix), the LUM picture
  // trunc(Y + chroma) of a whole Y is Y + floor(chroma): the polynomial's
  // floor plus a whole constant.
  if (luminance_weight == 1.0) chroma = std::floor(chroma);
  out[5] = (luminance_weight * lum_coefficient(map, 5, pixel) + chroma) * 1024.0 / 1023.0;
}

// Scales and biases covering every expanded coefficient of the map: the
// range of each coefficient over all pixels and channels, per block of
// pixels and then over the blocks.
void choose_expanded_scale_bias(const Ptm& map, int threads, std::int32_t scale_bias[12]) {
  const std::int64_t pixels = static_cast<std::int64_t>(pixel_count(map));
  struct Range {
    float low[6];
    float high[6];
  };
  std::vector<Range> ranges(static_cast<std::size_t>(block_count(pixels, pixels_per_block)));
  parallel_blocks(threads, pixels, pixels_per_block, [&](std::int64_t begin, std::int64_t end) {
    Range& range = ranges[static_cast<std::size_t>(begin / pixels_per_block)];
    std::fill(range.low, range.low + 6, std::numeric_limits<float>::max());
    std::fill(range.high, range.high + 6, std::numeric_limits<float>::lowest());
    for (std::int64_t p = begin; p < end; ++p) {
      for (int c = 0; c < 3; ++c) {
        double d[6];
        expanded_coefficients(map, c, static_cast<std::size_t>(p), d);
        for (int k = 0; k < 6; ++k) {
          range.low[k] = std::min(range.low[k], static_cast<float>(d[k]));
          range.high[k] = std::max(range.high[k], static_cast<float>(d[k]));
        }
      }
    }
  });
  // choose_scale_bias depends only on each coefficient's lowest and
  // highest value, so two rows of six stand for every pixel.
  float extremes[12];
  std::fill(extremes, extremes + 6, std::numeric_limits<float>::max());
  std::fill(extremes + 6, extremes + 12, std::numeric_limits<float>::lowest());
  for (const Range& range : ranges) {
    for (int k = 0; k < 6; ++k) {
      extremes[k] = std::min(extremes[k], range.low[k]);
      extremes[6 + k] = std::max(extremes[6 + k], range.high[k]);
    }
  }
  choose_scale_bias(extremes, ranges.empty() ? 0 : 2, scale_bias);
}

// Picture row `top` (from the top) is the map's row height - 1 - top.
std::size_t first_pixel_of_picture_row(const Ptm& map, int top) {
  return static_cast<std::size_t>(map.height - 1 - top) * static_cast<std::size_t>(map.width);
}

void fill_normals_row(const Ptm& map, std::size_t first, int width, std::uint8_t* out) {
  for (int x = 0; x < width; ++x) {
    const std::size_t pixel = first + static_cast<std::size_t>(x);
    std::int8_t normal[3];
    if (map.normals != nullptr) {
      std::memcpy(normal, map.normals + pixel * 3, 3);
    } else {
      double a[6];
      luminance_coefficients(map, pixel, a);
      normal_from_coefficients(a, normal);
    }
    for (int j = 0; j < 3; ++j) out[x * 3 + j] = static_cast<std::uint8_t>(normal[j] + 128);
  }
}

void fill_expanded_row(const PublishedMap& published, int plane, std::size_t first, int width,
                       std::uint8_t* out) {
  const int channel = plane / 2;
  const int k0 = plane % 2 * 3;
  const std::int32_t* sb = published.scale_bias;
  for (int x = 0; x < width; ++x) {
    double d[6];
    expanded_coefficients(*published.source, channel, first + static_cast<std::size_t>(x), d);
    for (int j = 0; j < 3; ++j) {
      const int k = k0 + j;
      out[x * 3 + j] = quantize_coefficient(d[k], sb[k], sb[6 + k]);
    }
  }
}

void fill_row(const PublishedMap& published, int plane, int top, std::uint8_t* out) {
  const Ptm& map = *published.source;
  const std::size_t first = first_pixel_of_picture_row(map, top);
  const std::size_t row_bytes = static_cast<std::size_t>(map.width) * 3;
  const int coefficient_planes = published.format == PublishedFormat::rgb ? 6 : 2;
  if (plane == coefficient_planes + (published.format == PublishedFormat::lrgb ? 1 : 0)) {
    fill_normals_row(map, first, map.width, out);
  } else if (published.expanded) {
    fill_expanded_row(published, plane, first, map.width, out);
  } else if (plane < coefficient_planes) {
    std::memcpy(out, map.coef_planes[plane] + first * 3, row_bytes);
  } else {
    for (int x = 0; x < map.width; ++x) get_lrgb_color(map, first + x, out + x * 3);
  }
}

}  // namespace

PublishedMap published_map_of(const Ptm& source, int threads) {
  PublishedMap published{};
  published.source = &source;
  published.format = source.format == PTM_FORMAT_LRGB ? PublishedFormat::lrgb : PublishedFormat::rgb;
  published.expanded = source.format == PTM_FORMAT_LUM;
  if (published.expanded) {
    choose_expanded_scale_bias(source, threads, published.scale_bias);
  } else {
    std::copy(source.scale_bias, source.scale_bias + 12, published.scale_bias);
  }
  return published;
}

const char* published_format_name(PublishedFormat format) {
  return format == PublishedFormat::lrgb ? "lrgb" : "rgb";
}

std::vector<std::string> published_plane_names(const PublishedMap& published) {
  if (published.format == PublishedFormat::lrgb) {
    return {"coefficients_0", "coefficients_1", "color", "normals"};
  }
  return {"red_0", "red_1", "green_0", "green_1", "blue_0", "blue_1", "normals"};
}

void fill_plane_rows(const PublishedMap& published, int plane, int top, int count,
                     std::uint8_t* out) {
  const std::size_t row_bytes = static_cast<std::size_t>(published.source->width) * 3;
  for (int r = 0; r < count; ++r) fill_row(published, plane, top + r, out + r * row_bytes);
}
