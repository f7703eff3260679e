#include "analysis/map_refit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/checked_alloc.h"
#include "render/evaluate.h"
#include "render/evaluate_rows.h"

namespace {

// The grid's step is 1 / grid_divisions.
constexpr int grid_divisions = 10;

// Pixels relit per light at a time: the samples of a band (317 lights x
// 3 bytes per pixel, about 3.9 MB) and its running sums stay in the
// last-level cache while the band is fitted.
constexpr std::size_t band_pixels = 4096;

// The lights, their least-squares operator and their normal matrix.
struct LightGrid {
  std::vector<LightDirection> lights;
  FitMatrix matrix{0, nullptr};
  std::vector<float> rows;  // the operator's rows in single precision, 6 x light count
  double normal[6][6] = {};

  LightGrid() : lights(refit_light_grid()) {
    make_fit_matrix(lights.data(), static_cast<int>(lights.size()), matrix);
    rows.assign(matrix.rows, matrix.rows + 6 * lights.size());
    for (const LightDirection& light : lights) {
      double row[6];
      design_row(light, row);
      for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 6; ++c) normal[r][c] += row[r] * row[c];
      }
    }
  }
  ~LightGrid() { free_fit_matrix(matrix); }
  LightGrid(const LightGrid&) = delete;
  LightGrid& operator=(const LightGrid&) = delete;
};

// Rows first_row .. first_row + rows - 1 of `map` relit under every light of
// the grid: light i's pictures of the rows, R, G, B per pixel, at
// samples + i * rows * width * 3. The row kernels give the map's
// per-pixel evaluator's bytes.
void relight_band(const Ptm& map, const LightGrid& grid, int first_row, int rows,
                  std::uint8_t* samples) {
  const EvaluateRowFn row_kernel = select_row_evaluator(map);
  const std::size_t row_bytes = static_cast<std::size_t>(map.width) * 3;
  for (const LightDirection& light : grid.lights) {
    const LightWeights weights = light_weights_for(light.u, light.v);
    for (int r = 0; r < rows; ++r, samples += row_bytes) {
      row_kernel(map, weights, 0, first_row + r, map.width, samples);
    }
  }
}

// The least-squares coefficients of every sample column of a band at once:
// column j (pixel j / 3, channel j % 3) gets coefficient k = sum over lights
// i of rows[k][i] * samples[i][j], written to fitted[6 j + k]. The same
// operator as fit_coefficients, applied light by light over contiguous
// columns so that the inner loop vectorises.
void fit_band(const LightGrid& grid, const std::uint8_t* samples, std::size_t columns,
              std::vector<float>& sums, float* fitted) {
  const std::size_t light_count = grid.lights.size();
  sums.assign(6 * columns, 0.0f);
  for (std::size_t i = 0; i < light_count; ++i) {
    const std::uint8_t* s = samples + i * columns;
    for (int k = 0; k < 6; ++k) {
      const float weight = grid.rows[k * light_count + i];
      float* sum = sums.data() + k * columns;
      for (std::size_t j = 0; j < columns; ++j) sum[j] += weight * static_cast<float>(s[j]);
    }
  }
  for (std::size_t j = 0; j < columns; ++j) {
    for (int k = 0; k < 6; ++k) fitted[6 * j + k] = sums[k * columns + j];
  }
}

// The unit eigenvector of the largest eigenvalue of the symmetric matrix
// m, by cyclic Jacobi rotations (Golub and Van Loan, Matrix Computations,
// section 8.5: each rotation zeroes one off-diagonal pair; a few sweeps
// bring a 3 x 3 matrix to diagonal form in double precision).
void principal_direction(double m[3][3], double w[3]) {
  double v[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  constexpr int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  for (int sweep = 0; sweep < 16; ++sweep) {
    const double off = m[0][1] * m[0][1] + m[0][2] * m[0][2] + m[1][2] * m[1][2];
    const double diagonal = m[0][0] * m[0][0] + m[1][1] * m[1][1] + m[2][2] * m[2][2];
    if (off <= 1e-30 * diagonal) break;
    for (const auto& pair : pairs) {
      const int p = pair[0];
      const int q = pair[1];
      if (m[p][q] == 0.0) continue;
      // The rotation (c, s) that diagonalises the 2 x 2 block (p, q).
      const double tau = (m[q][q] - m[p][p]) / (2.0 * m[p][q]);
      const double t = (tau >= 0 ? 1.0 : -1.0) / (std::fabs(tau) + std::sqrt(1.0 + tau * tau));
      const double c = 1.0 / std::sqrt(1.0 + t * t);
      const double s = t * c;
      for (int k = 0; k < 3; ++k) {  // m J
        const double kp = m[k][p];
        const double kq = m[k][q];
        m[k][p] = c * kp - s * kq;
        m[k][q] = s * kp + c * kq;
      }
      for (int k = 0; k < 3; ++k) {  // J^T (m J)
        const double pk = m[p][k];
        const double qk = m[q][k];
        m[p][k] = c * pk - s * qk;
        m[q][k] = s * pk + c * qk;
      }
      for (int k = 0; k < 3; ++k) {  // v J
        const double kp = v[k][p];
        const double kq = v[k][q];
        v[k][p] = c * kp - s * kq;
        v[k][q] = s * kp + c * kq;
      }
    }
  }
  int top = 0;
  for (int j = 1; j < 3; ++j) {
    if (m[j][j] > m[top][top]) top = j;
  }
  for (int k = 0; k < 3; ++k) w[k] = v[k][top];
}

// The LRGB pixel closest in least squares to the three channel fits
// p[c][0..5] (see refit_map).
void lrgb_pixel(const double normal[6][6], const float* p, float a[6], std::uint8_t color[3]) {
  double gp[3][6];  // G p_c
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 6; ++r) {
      double sum = 0.0;
      for (int k = 0; k < 6; ++k) sum += normal[r][k] * p[6 * c + k];
      gp[c][r] = sum;
    }
  }
  double m[3][3];
  for (int c = 0; c < 3; ++c) {
    for (int d = 0; d < 3; ++d) {
      double sum = 0.0;
      for (int k = 0; k < 6; ++k) sum += p[6 * c + k] * gp[d][k];
      m[c][d] = sum;
    }
  }
  std::fill(a, a + 6, 0.0f);
  std::fill(color, color + 3, std::uint8_t{0});
  if (!(m[0][0] + m[1][1] + m[2][2] > 0.0)) return;  // black under every light
  double w[3];
  principal_direction(m, w);
  // The eigenvector's sign is arbitrary; a colour points into the positive
  // octant, and a channel the fit would make negative is black.
  if (w[0] + w[1] + w[2] < 0) {
    for (double& x : w) x = -x;
  }
  const double largest = std::max({w[0], w[1], w[2]});
  if (!(largest > 0.0)) return;
  double squares = 0.0;
  for (int c = 0; c < 3; ++c) {
    color[c] = static_cast<std::uint8_t>(std::lround(255.0 * std::max(0.0, w[c]) / largest));
    squares += static_cast<double>(color[c]) * color[c];
  }
  for (int k = 0; k < 6; ++k) {
    double sum = 0.0;
    for (int c = 0; c < 3; ++c) sum += static_cast<double>(color[c]) * p[6 * c + k];
    a[k] = static_cast<float>(256.0 * sum / squares);
  }
}

// The evaluators truncate: a relit value x shows as grey level floor(x), so
// a fit that reproduced the samples s exactly would show s - 1 wherever it
// fell a hair short. Aiming at s + 1/2, the middle of each level, lets the
// fit be wrong by up to half a level either way. The fit of a constant is
// the constant term alone (the operator reproduces every polynomial), so
// adding 1/2 to every sample adds 1/2 to a5 and nothing else. The packed
// evaluators also weight a5 by 1023 / 1024 rather than 1 (light weight W5 =
// 1023), which the fit undoes for them.
void aim_at_grey_level_centres(float* fitted, std::size_t columns, CoefRepresentation representation) {
  const float a5_weight = representation == CoefRepresentation::packed ? 1023.0f / 1024.0f : 1.0f;
  for (std::size_t j = 0; j < columns; ++j) fitted[6 * j + 5] = (fitted[6 * j + 5] + 0.5f) / a5_weight;
}

int band_rows(const Ptm& map) {
  const std::size_t width = std::max<std::size_t>(1, static_cast<std::size_t>(map.width));
  return static_cast<int>(std::clamp<std::size_t>(band_pixels / width, 1,
                                                  std::max(1, map.height)));
}

// Root mean square of the difference between `source` and `fitted` relit
// under every light of the grid.
double relit_difference(const Ptm& source, const Ptm& fitted, const LightGrid& grid,
                        const ProgressFn& progress) {
  const int rows = band_rows(source);
  const std::size_t band_bytes = grid.lights.size() * rows * static_cast<std::size_t>(source.width) * 3;
  std::vector<std::uint8_t> expected(band_bytes);
  std::vector<std::uint8_t> relit(band_bytes);
  double sum_squares = 0.0;
  for (int y = 0; y < source.height; y += rows) {
    const int count = std::min(rows, source.height - y);
    const std::size_t used = grid.lights.size() * count * static_cast<std::size_t>(source.width) * 3;
    relight_band(source, grid, y, count, expected.data());
    relight_band(fitted, grid, y, count, relit.data());
    std::int64_t band_sum = 0;
    for (std::size_t i = 0; i < used; ++i) {
      const int d = static_cast<int>(expected[i]) - relit[i];
      band_sum += d * d;
    }
    sum_squares += static_cast<double>(band_sum);
    report_progress(progress, static_cast<std::uint64_t>(source.height) + y + count,
                    2 * static_cast<std::uint64_t>(source.height));
  }
  const double samples = 3.0 * static_cast<double>(grid.lights.size()) *
                         static_cast<double>(pixel_count(source));
  return samples > 0 ? std::sqrt(sum_squares / samples) : 0.0;
}

}  // namespace

std::vector<LightDirection> refit_light_grid() {
  std::vector<LightDirection> lights;
  for (int j = -grid_divisions; j <= grid_divisions; ++j) {
    for (int i = -grid_divisions; i <= grid_divisions; ++i) {
      if (i * i + j * j > grid_divisions * grid_divisions) continue;
      lights.push_back({static_cast<float>(i) / grid_divisions,
                        static_cast<float>(j) / grid_divisions});
    }
  }
  return lights;
}

RefitResult refit_map(const Ptm& source, int target_format, CoefRepresentation representation,
                      const ProgressFn& progress) {
  RefitResult result;
  if (target_format != PTM_FORMAT_RGB && target_format != PTM_FORMAT_LRGB) return result;
  const LightGrid grid;
  const std::size_t pixels = pixel_count(source);
  const int rows = band_rows(source);
  const std::size_t width = static_cast<std::size_t>(source.width);
  std::vector<std::uint8_t> samples(grid.lights.size() * rows * width * 3);
  std::vector<float> sums;
  std::vector<float> band_fit(rows * width * 18);

  // RGB keeps 18 coefficients per pixel; LRGB the LrgbFit's six and a colour.
  std::vector<float> rgb_fit;
  LrgbFit lrgb_fit{source.width, source.height, nullptr, nullptr};
  if (target_format == PTM_FORMAT_RGB) {
    rgb_fit.resize(pixels * 18);
  } else {
    lrgb_fit.coefficients = checked_alloc_array<float>(pixels * 6);
    lrgb_fit.color = checked_alloc_array<std::uint8_t>(pixels * 3);
  }
  for (int y = 0; y < source.height; y += rows) {
    const int count = std::min(rows, source.height - y);
    const std::size_t band = count * width;
    relight_band(source, grid, y, count, samples.data());
    fit_band(grid, samples.data(), band * 3, sums, band_fit.data());
    const std::size_t first = static_cast<std::size_t>(y) * width;
    aim_at_grey_level_centres(band_fit.data(), band * 3, representation);
    if (target_format == PTM_FORMAT_RGB) {
      std::copy(band_fit.begin(), band_fit.begin() + band * 18, rgb_fit.begin() + first * 18);
    } else {
      for (std::size_t p = 0; p < band; ++p) {
        lrgb_pixel(grid.normal, band_fit.data() + 18 * p, lrgb_fit.coefficients + 6 * (first + p),
                   lrgb_fit.color + 3 * (first + p));
      }
    }
    report_progress(progress, static_cast<std::uint64_t>(y) + count,
                    2 * static_cast<std::uint64_t>(source.height));
  }

  if (target_format == PTM_FORMAT_RGB) {
    result.ptm = make_rgb_ptm(RgbFit{source.width, source.height, rgb_fit.data()}, representation);
  } else {
    result.ptm = make_lrgb_ptm(lrgb_fit, representation);
    free_lrgb_fit(lrgb_fit);
  }
  result.light_count = static_cast<int>(grid.lights.size());
  result.rms_error = relit_difference(source, *result.ptm, grid, progress);
  return result;
}
