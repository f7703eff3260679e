#include "analysis/curvature.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "analysis/gaussian_blur.h"
#include "analysis/poisson_depth.h"
#include "common/parallel.h"

namespace {

constexpr float no_value = std::numeric_limits<float>::quiet_NaN();

std::size_t at(std::int64_t x, std::int64_t y, int width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

// The derivative at `centre` along one axis from the values one step
// before and after it (null where there is none, or NaN): central where
// both exist, one-sided where one does, 0 where neither.
float derivative(const float* before, float centre, const float* after) {
  const bool has_before = before != nullptr && !std::isnan(*before);
  const bool has_after = after != nullptr && !std::isnan(*after);
  if (has_before && has_after) return 0.5f * (*after - *before);
  if (has_after) return *after - centre;
  if (has_before) return centre - *before;
  return 0.0f;
}

}  // namespace

void mean_curvature(const float* normals, const std::uint8_t* mask, int width, int height,
                    double sigma, int threads, float* curvature) {
  if (width <= 0 || height <= 0) return;
  const std::size_t pixels = at(0, height, width);
  std::vector<float> p(pixels), q(pixels);
  parallel_blocks(threads, height, rows_per_block(width),
                  [&](std::int64_t begin, std::int64_t end) {
                    for (std::int64_t y = begin; y < end; ++y) {
                      const std::uint8_t* mask_row =
                          mask == nullptr ? nullptr : mask + at(0, height - 1 - y, width);
                      for (int x = 0; x < width; ++x) {
                        const std::size_t i = at(x, y, width);
                        if (mask_row != nullptr && mask_row[x] == 0) {
                          p[i] = q[i] = no_value;
                          continue;
                        }
                        const float nz = std::max(normals[3 * i + 2], poisson_smallest_nz);
                        p[i] = normals[3 * i] / nz;
                        q[i] = normals[3 * i + 1] / nz;
                      }
                    }
                  });
  std::vector<float> smooth_p(pixels), smooth_q(pixels);
  gaussian_blur(p.data(), width, height, sigma, threads, smooth_p.data());
  gaussian_blur(q.data(), width, height, sigma, threads, smooth_q.data());
  parallel_blocks(
      threads, height, rows_per_block(width), [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t y = begin; y < end; ++y) {
          for (int x = 0; x < width; ++x) {
            const std::size_t i = at(x, y, width);
            if (std::isnan(smooth_p[i])) {
              curvature[i] = no_value;
              continue;
            }
            const float dp = derivative(x > 0 ? &smooth_p[i - 1] : nullptr, smooth_p[i],
                                        x + 1 < width ? &smooth_p[i + 1] : nullptr);
            const float dq = derivative(y > 0 ? &smooth_q[i - width] : nullptr, smooth_q[i],
                                        y + 1 < height ? &smooth_q[i + width] : nullptr);
            curvature[i] = 0.5f * (dp + dq);
          }
        }
      });
}
