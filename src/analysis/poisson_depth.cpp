#include "analysis/poisson_depth.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "common/parallel.h"

namespace {

constexpr double pi = 3.14159265358979323846;

std::size_t index_of(int x, int y, int width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

// The slopes p, q of one row of normals, 0 outside the mask (mask_row null:
// no mask).
void row_slopes(const float* n, const std::uint8_t* mask_row, int width, double* p, double* q) {
  for (int x = 0; x < width; ++x, n += 3) {
    if (mask_row != nullptr && mask_row[x] == 0) {
      p[x] = 0.0;
      q[x] = 0.0;
      continue;
    }
    const double nz = std::max(n[2], poisson_smallest_nz);
    p[x] = -n[0] / nz;
    q[x] = -n[1] / nz;
  }
}

// Rows of the divergence a block of work makes: large enough that the two
// rows of normals a block shares with its neighbours are a small part.
int divergence_block_rows(int width) {
  return std::max(64, static_cast<int>(rows_per_block(width)));
}

// The right-hand side of the Poisson equation: the divergence of the step
// field, a step across the map's border being 0, for rows first .. end - 1
// into `divergence` (the whole picture's array). Row y needs the slopes of
// rows y - 1, y and y + 1; the normals of the rows just outside the band
// are asked for again, so the value of every row is the same whatever the
// bands.
void band_divergence(const NormalRowsFn& normals, const std::uint8_t* mask, int width, int height,
                     int first, int end, float* divergence) {
  const std::size_t w = static_cast<std::size_t>(width);
  const int from = std::max(0, first - 1);
  const int to = std::min(height, end + 1);
  std::vector<float> n(static_cast<std::size_t>(to - from) * w * 3);
  normals(from, to, n.data());
  auto slopes = [&](int y, std::vector<double>& p, std::vector<double>& q) {
    const std::uint8_t* mask_row =
        mask == nullptr ? nullptr : mask + index_of(0, height - 1 - y, width);
    row_slopes(n.data() + static_cast<std::size_t>(y - from) * w * 3, mask_row, width, p.data(),
               q.data());
  };
  std::vector<double> p(w), q(w), p_above(w), q_above(w), ey_below(w, 0.0);
  if (first > 0) {
    // The steps of the row below the band: only their vertical halves.
    std::vector<double> p_below(w), q_below(w);
    slopes(first - 1, p_below, q_below);
    slopes(first, p, q);
    for (std::size_t x = 0; x < w; ++x) ey_below[x] = 0.5 * (q_below[x] + q[x]);
  } else {
    slopes(first, p, q);
  }
  for (int y = first; y < end; ++y) {
    const bool has_row_above = y + 1 < height;
    if (has_row_above) slopes(y + 1, p_above, q_above);
    float* out = divergence + index_of(0, y, width);
    double ex_left = 0.0;
    for (std::size_t x = 0; x < w; ++x) {
      const double ex = x + 1 < w ? 0.5 * (p[x] + p[x + 1]) : 0.0;
      const double ey = has_row_above ? 0.5 * (q[x] + q_above[x]) : 0.0;
      out[x] = static_cast<float>(ex - ex_left + ey - ey_below[x]);
      ex_left = ex;
      ey_below[x] = ey;
    }
    std::swap(p, p_above);
    std::swap(q, q_above);
  }
}

// FFTW's planner keeps state of its own (the wisdom, the thread count of the
// next plan): plans are made and destroyed one at a time in this process.
std::mutex& planner_lock() {
  static std::mutex lock;
  return lock;
}

struct DctPlans {
  fftwf_plan forward;
  fftwf_plan inverse;
};

DctPlans make_plans(float* work, int width, int height, int threads) {
  const std::lock_guard<std::mutex> guard(planner_lock());
  static const bool threads_ready = fftwf_init_threads() != 0;
  if (threads_ready) fftwf_plan_with_nthreads(std::max(1, threads));
  // FFTW_ESTIMATE chooses without touching the array, and by the sizes
  // alone, never by timing. Rows are the slow axis (n0 = height), columns
  // the fast one.
  return {fftwf_plan_r2r_2d(height, width, work, work, FFTW_REDFT10, FFTW_REDFT10, FFTW_ESTIMATE),
          fftwf_plan_r2r_2d(height, width, work, work, FFTW_REDFT01, FFTW_REDFT01, FFTW_ESTIMATE)};
}

void destroy_plans(DctPlans& plans) {
  const std::lock_guard<std::mutex> guard(planner_lock());
  fftwf_destroy_plan(plans.forward);
  fftwf_destroy_plan(plans.inverse);
}

}  // namespace

void poisson_depth(const NormalRowsFn& normals, const std::uint8_t* mask, int width, int height,
                   float* depth, int threads) {
  if (width <= 0 || height <= 0) return;
  // The heights' array is the transforms' work array too.
  DctPlans plans = make_plans(depth, width, height, threads);

  parallel_blocks(threads, height, divergence_block_rows(width),
                  [&](std::int64_t first, std::int64_t end) {
                    band_divergence(normals, mask, width, height, static_cast<int>(first),
                                    static_cast<int>(end), depth);
                  });
  fftwf_execute(plans.forward);

  // Divide by the eigenvalues; REDFT10 followed by REDFT01 multiplies by
  // 2 W along the rows and 2 H along the columns, undone here too.
  std::vector<double> column_term(static_cast<std::size_t>(width));
  for (int k = 0; k < width; ++k) {
    column_term[static_cast<std::size_t>(k)] = 2.0 * std::cos(pi * k / width);
  }
  const double normalisation = 1.0 / (4.0 * width * static_cast<double>(height));
  parallel_blocks(
      threads, height, rows_per_block(width), [&](std::int64_t first, std::int64_t end) {
        for (std::int64_t l = first; l < end; ++l) {
          const double row_term = 2.0 * std::cos(pi * static_cast<double>(l) / height) - 4.0;
          float* row = depth + index_of(0, static_cast<int>(l), width);
          // Basis function (0, 0), the constant, has eigenvalue 0: it is set to
          // 0, which makes the mean height 0.
          for (int k = l == 0 ? 1 : 0; k < width; ++k) {
            row[k] = static_cast<float>(row[k] * normalisation /
                                        (column_term[static_cast<std::size_t>(k)] + row_term));
          }
        }
      });
  depth[0] = 0.0f;

  fftwf_execute(plans.inverse);
  destroy_plans(plans);
}

void poisson_depth(const float* normals, const std::uint8_t* mask, int width, int height,
                   float* depth, int threads) {
  const std::size_t row_values = static_cast<std::size_t>(width > 0 ? width : 0) * 3;
  poisson_depth(
      [&](int first, int end, float* out) {
        std::memcpy(out, normals + static_cast<std::size_t>(first) * row_values,
                    static_cast<std::size_t>(end - first) * row_values * sizeof(float));
      },
      mask, width, height, depth, threads);
}
