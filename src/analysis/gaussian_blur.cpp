#include "analysis/gaussian_blur.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/checked_alloc.h"
#include "common/parallel.h"

namespace {

// Taps k = -radius .. radius, at index k + radius; their sum is 1.
std::vector<float> gaussian_kernel(double sigma) {
  const int radius = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
  std::vector<double> weights(static_cast<std::size_t>(2 * radius + 1));
  double sum = 0;
  for (int k = -radius; k <= radius; ++k) {
    const double w = std::exp(-k * k / (2 * sigma * sigma));
    weights[static_cast<std::size_t>(k + radius)] = w;
    sum += w;
  }
  std::vector<float> kernel(weights.size());
  for (std::size_t i = 0; i < weights.size(); ++i) kernel[i] = static_cast<float>(weights[i] / sum);
  return kernel;
}

std::size_t at(std::int64_t row, int width) {
  return static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
}

// out[x] = sum over k of kernel[k] in[x + k], for the x + k inside 0 .. n - 1.
// The loop over x innermost runs over contiguous floats, which the compiler
// vectorises.
void convolve_row(const float* in, int n, const std::vector<float>& kernel, float* out) {
  const int radius = static_cast<int>(kernel.size() / 2);
  std::fill(out, out + n, 0.0f);
  for (int k = -radius; k <= radius; ++k) {
    const float w = kernel[static_cast<std::size_t>(k + radius)];
    const int begin = std::max(0, -k);
    const int end = std::min(n, n - k);
    for (int x = begin; x < end; ++x) out[x] += w * in[x + k];
  }
}

// Row y of the vertical pass: the kernel-weighted sum of the rows y + k of
// `in` that exist.
void convolve_column_row(const float* in, int width, int height, std::int64_t y,
                         const std::vector<float>& kernel, float* out) {
  const int radius = static_cast<int>(kernel.size() / 2);
  std::fill(out, out + width, 0.0f);
  for (int k = -radius; k <= radius; ++k) {
    if (y + k < 0 || y + k >= height) continue;
    const float w = kernel[static_cast<std::size_t>(k + radius)];
    const float* source = in + at(y + k, width);
    for (int x = 0; x < width; ++x) out[x] += w * source[x];
  }
}

// out[x] = sum over k of kernel[k] v(x + k), v continued beyond 0 and
// n - 1 by point reflection (index reflections beyond the far end clamp
// to it), through a row extended by the kernel's radius on each side.
void convolve_row_reflected(const float* in, int n, const std::vector<float>& kernel,
                            std::vector<float>& extended, float* out) {
  const int radius = static_cast<int>(kernel.size() / 2);
  extended.resize(static_cast<std::size_t>(n + 2 * radius));
  float* middle = extended.data() + radius;
  std::copy(in, in + n, middle);
  for (int j = 1; j <= radius; ++j) {
    middle[-j] = 2 * in[0] - in[std::min(j, n - 1)];
    middle[n - 1 + j] = 2 * in[n - 1] - in[std::max(n - 1 - j, 0)];
  }
  std::fill(out, out + n, 0.0f);
  for (int k = -radius; k <= radius; ++k) {
    const float w = kernel[static_cast<std::size_t>(k + radius)];
    const float* source = middle + k;
    for (int x = 0; x < n; ++x) out[x] += w * source[x];
  }
}

struct RowTap {
  int row;
  float weight;
};

// The rows and weights that make row y of the vertical pass under point
// reflection: row y + k where it exists, else 2 row(edge) - row(mirror).
std::vector<RowTap> reflected_row_taps(int y, int height, const std::vector<float>& kernel) {
  const int radius = static_cast<int>(kernel.size() / 2);
  std::vector<float> weights(static_cast<std::size_t>(height), 0.0f);
  for (int k = -radius; k <= radius; ++k) {
    const float w = kernel[static_cast<std::size_t>(k + radius)];
    const int source = y + k;
    if (source < 0) {
      weights[0] += 2 * w;
      weights[static_cast<std::size_t>(std::min(-source, height - 1))] -= w;
    } else if (source >= height) {
      weights[static_cast<std::size_t>(height - 1)] += 2 * w;
      weights[static_cast<std::size_t>(std::max(2 * (height - 1) - source, 0))] -= w;
    } else {
      weights[static_cast<std::size_t>(source)] += w;
    }
  }
  std::vector<RowTap> taps;
  for (int row = std::max(0, y - 2 * radius); row <= std::min(height - 1, y + 2 * radius); ++row) {
    if (weights[static_cast<std::size_t>(row)] != 0) taps.push_back({row, weights[static_cast<std::size_t>(row)]});
  }
  return taps;
}

bool has_holes(const float* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (std::isnan(values[i])) return true;
  }
  return false;
}

// Both passes of the normalised convolution over `fields` (each width x
// height, blurred in place through `scratch`, one per field).
void blur_fields(const std::vector<float*>& fields, const std::vector<float*>& scratch, int width,
                 int height, const std::vector<float>& kernel, int threads) {
  parallel_blocks(
      threads, height, rows_per_block(width), [&](std::int64_t begin, std::int64_t end) {
        for (std::size_t f = 0; f < fields.size(); ++f) {
          for (std::int64_t y = begin; y < end; ++y) {
            convolve_row(fields[f] + at(y, width), width, kernel, scratch[f] + at(y, width));
          }
        }
      });
  parallel_blocks(
      threads, height, rows_per_block(width), [&](std::int64_t begin, std::int64_t end) {
        for (std::size_t f = 0; f < fields.size(); ++f) {
          for (std::int64_t y = begin; y < end; ++y) {
            convolve_column_row(scratch[f], width, height, y, kernel, fields[f] + at(y, width));
          }
        }
      });
}

// Both passes with the borders continued by point reflection.
void blur_reflected(const float* values, int width, int height, const std::vector<float>& kernel,
                    int threads, float* scratch, float* out) {
  parallel_blocks(threads, height, rows_per_block(width),
                  [&](std::int64_t begin, std::int64_t end) {
                    std::vector<float> extended;
                    for (std::int64_t y = begin; y < end; ++y) {
                      convolve_row_reflected(values + at(y, width), width, kernel, extended,
                                             scratch + at(y, width));
                    }
                  });
  parallel_blocks(
      threads, height, rows_per_block(width), [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          float* row = out + at(y, width);
          std::fill(row, row + width, 0.0f);
          for (const RowTap& tap : reflected_row_taps(static_cast<int>(y), height, kernel)) {
            const float* source = scratch + at(tap.row, width);
            for (int x = 0; x < width; ++x) row[x] += tap.weight * source[x];
          }
        }
      });
}

}  // namespace

void gaussian_blur(const float* values, int width, int height, double sigma, int threads,
                   float* out) {
  if (width <= 0 || height <= 0) return;
  const std::size_t pixels = at(height, width);
  if (!(sigma > 0)) {
    std::memcpy(out, values, pixels * sizeof(float));
    return;
  }
  const std::vector<float> kernel = gaussian_kernel(std::min(sigma, gaussian_blur_max_sigma));
  float* scratch = checked_alloc_array<float>(pixels);
  if (!has_holes(values, pixels)) {
    blur_reflected(values, width, height, kernel, threads, scratch, out);
    checked_free(scratch);
    return;
  }
  float* weight = checked_alloc_array<float>(pixels);
  float* weight_scratch = checked_alloc_array<float>(pixels);
  parallel_blocks(threads, height, rows_per_block(width),
                  [&](std::int64_t begin, std::int64_t end) {
                    for (std::size_t i = at(begin, width); i < at(end, width); ++i) {
                      const bool hole = std::isnan(values[i]);
                      out[i] = hole ? 0.0f : values[i];
                      weight[i] = hole ? 0.0f : 1.0f;
                    }
                  });
  blur_fields({out, weight}, {scratch, weight_scratch}, width, height, kernel, threads);
  parallel_blocks(threads, height, rows_per_block(width),
                  [&](std::int64_t begin, std::int64_t end) {
                    for (std::size_t i = at(begin, width); i < at(end, width); ++i) {
                      out[i] = std::isnan(values[i]) ? values[i] : out[i] / weight[i];
                    }
                  });
  checked_free(weight_scratch);
  checked_free(weight);
  checked_free(scratch);
}
