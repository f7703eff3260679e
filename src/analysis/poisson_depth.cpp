#include "analysis/poisson_depth.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "common/checked_alloc.h"

namespace {

constexpr double pi = 3.14159265358979323846;

std::size_t index_of(int x, int y, int width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

// The slopes p, q of row y, 0 outside the mask.
void row_slopes(const float* normals, const std::uint8_t* mask, int width, int height, int y,
                double* p, double* q) {
  const std::uint8_t* mask_row =
      mask == nullptr ? nullptr : mask + index_of(0, height - 1 - y, width);
  const float* n = normals + 3 * index_of(0, y, width);
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

// The right-hand side of the Poisson equation: the divergence of the step
// field, a step across the map's border being 0. Rows are taken one at a
// time (a row and the one above it are live), so no slope image is kept.
void step_divergence(const float* normals, const std::uint8_t* mask, int width, int height,
                     double* divergence) {
  const std::size_t w = static_cast<std::size_t>(width);
  std::vector<double> p(w), q(w), p_above(w), q_above(w), ey_below(w, 0.0);
  row_slopes(normals, mask, width, height, 0, p.data(), q.data());
  for (int y = 0; y < height; ++y) {
    const bool has_row_above = y + 1 < height;
    if (has_row_above) {
      row_slopes(normals, mask, width, height, y + 1, p_above.data(), q_above.data());
    }
    double* out = divergence + index_of(0, y, width);
    double ex_left = 0.0;
    for (std::size_t x = 0; x < w; ++x) {
      const double ex = x + 1 < w ? 0.5 * (p[x] + p[x + 1]) : 0.0;
      const double ey = has_row_above ? 0.5 * (q[x] + q_above[x]) : 0.0;
      out[x] = ex - ex_left + ey - ey_below[x];
      ex_left = ex;
      ey_below[x] = ey;
    }
    std::swap(p, p_above);
    std::swap(q, q_above);
  }
}

}  // namespace

void poisson_depth(const float* normals, const std::uint8_t* mask, int width, int height,
                   float* depth) {
  if (width <= 0 || height <= 0) return;
  const std::size_t pixels = index_of(0, height, width);
  double* work = checked_alloc_array<double>(pixels);
  // Plans first: FFTW_ESTIMATE chooses without touching the array. Rows are
  // the slow axis (n0 = height), columns the fast one.
  fftw_plan forward =
      fftw_plan_r2r_2d(height, width, work, work, FFTW_REDFT10, FFTW_REDFT10, FFTW_ESTIMATE);
  fftw_plan inverse =
      fftw_plan_r2r_2d(height, width, work, work, FFTW_REDFT01, FFTW_REDFT01, FFTW_ESTIMATE);

  step_divergence(normals, mask, width, height, work);
  fftw_execute(forward);

  // Divide by the eigenvalues; REDFT10 followed by REDFT01 multiplies by
  // 2 W along the rows and 2 H along the columns, undone here too.
  std::vector<double> column_term(static_cast<std::size_t>(width));
  for (int k = 0; k < width; ++k) {
    column_term[static_cast<std::size_t>(k)] = 2.0 * std::cos(pi * k / width);
  }
  const double normalisation = 1.0 / (4.0 * width * static_cast<double>(height));
  for (int l = 0; l < height; ++l) {
    const double row_term = 2.0 * std::cos(pi * l / height) - 4.0;
    double* row = work + index_of(0, l, width);
    // Basis function (0, 0), the constant, has eigenvalue 0: it is set to
    // 0, which makes the mean height 0.
    for (int k = l == 0 ? 1 : 0; k < width; ++k) {
      row[k] *= normalisation / (column_term[static_cast<std::size_t>(k)] + row_term);
    }
  }
  work[0] = 0.0;

  fftw_execute(inverse);
  for (std::size_t i = 0; i < pixels; ++i) depth[i] = static_cast<float>(work[i]);
  fftw_destroy_plan(forward);
  fftw_destroy_plan(inverse);
  checked_free(work);
}
