#include "analysis/ptm_fit.h"

#include <algorithm>
#include <cmath>

#include "common/checked_alloc.h"
#include "ptm/coefficients.h"
#include "render/evaluate.h"

namespace {

// A pivot of the Cholesky factorisation is the part of a column of A that
// the previous columns do not explain (squared). Below this fraction of the
// column's own squared length the column is, to working accuracy, a
// combination of the others: the coefficients would amplify an error of
// one grey level in the photographs by 10^4 or more, so the light set is
// refused rather than fitted.
constexpr double min_relative_pivot = 1e-8;

// Cholesky factorisation M = L L^T of the symmetric 6 x 6 normal matrix,
// L stored in the lower triangle of `l`. False when M is not safely
// positive definite.
bool cholesky(const double m[6][6], double l[6][6]) {
  for (int j = 0; j < 6; ++j) {
    double pivot = m[j][j];
    for (int k = 0; k < j; ++k) pivot -= l[j][k] * l[j][k];
    if (!(pivot > min_relative_pivot * m[j][j])) return false;
    l[j][j] = std::sqrt(pivot);
    for (int i = j + 1; i < 6; ++i) {
      double sum = m[i][j];
      for (int k = 0; k < j; ++k) sum -= l[i][k] * l[j][k];
      l[i][j] = sum / l[j][j];
    }
  }
  return true;
}

// Solves L L^T x = b by forward and back substitution.
void cholesky_solve(const double l[6][6], const double b[6], double x[6]) {
  double y[6];
  for (int i = 0; i < 6; ++i) {
    double sum = b[i];
    for (int k = 0; k < i; ++k) sum -= l[i][k] * y[k];
    y[i] = sum / l[i][i];
  }
  for (int i = 5; i >= 0; --i) {
    double sum = y[i];
    for (int k = i + 1; k < 6; ++k) sum -= l[k][i] * x[k];
    x[i] = sum / l[i][i];
  }
}

bool same_size(const RgbImage* const* photographs, int count) {
  for (int i = 1; i < count; ++i) {
    if (photographs[i]->width != photographs[0]->width ||
        photographs[i]->height != photographs[0]->height) {
      return false;
    }
  }
  return true;
}

// The decoding rule of the reader and the converter.
int decoded(int byte, std::int32_t scale, std::int32_t bias) {
  return packed_coefficient(byte, scale, bias);
}

// The smallest bias whose byte 0 decodes to `low` or less; the decoded
// value of byte 0 falls as the bias grows.
std::int32_t bias_reaching(long low, std::int32_t scale) {
  auto bias = static_cast<std::int32_t>(std::floor(-low * 256.0 / scale));
  while (decoded(0, scale, bias) <= low) --bias;
  while (decoded(0, scale, bias) > low) ++bias;
  return bias;
}

// Scale and bias for one coefficient whose values span [low, high]
// (integers). q is an integer, so a scale below 256 (steps under one grey
// level) gains nothing. Multiples 256 m decode exactly to steps of m; the
// smallest scale S that spans the range decodes to steps of floor(S / 256)
// or ceil(S / 256), never coarser than the multiple above it and finer on
// average.
void choose_one(long low, long high, std::int32_t& scale, std::int32_t& bias) {
  scale = std::max<std::int32_t>(
      256, static_cast<std::int32_t>(std::ceil(256.0 * static_cast<double>(high - low) / 255.0)));
  for (;; ++scale) {
    bias = bias_reaching(low, scale);
    if (decoded(255, scale, bias) >= high) return;
  }
}

// The Cholesky factor of the normal matrix A^T A of the light set; false
// when it is not safely positive definite or there are fewer than six
// lights.
bool factor_normal_matrix(const LightDirection* lights, int count, double factor[6][6]) {
  if (count < 6) return false;
  double normal[6][6] = {};
  for (int i = 0; i < count; ++i) {
    double row[6];
    design_row(lights[i], row);
    for (int r = 0; r < 6; ++r) {
      for (int c = 0; c < 6; ++c) normal[r][c] += row[r] * row[c];
    }
  }
  return cholesky(normal, factor);
}

}  // namespace

void design_row(const LightDirection& light, double row[6]) {
  const double u = light.u;
  const double v = light.v;
  row[0] = u * u;
  row[1] = v * v;
  row[2] = u * v;
  row[3] = u;
  row[4] = v;
  row[5] = 1.0;
}

bool invert_normal_matrix(const LightDirection* lights, int count, double inverse[6][6]) {
  double factor[6][6] = {};
  if (!factor_normal_matrix(lights, count, factor)) return false;
  // Column j of the inverse solves (A^T A) x = e_j; the inverse is
  // symmetric, so it is stored as row j.
  for (int j = 0; j < 6; ++j) {
    double unit[6] = {};
    unit[j] = 1.0;
    cholesky_solve(factor, unit, inverse[j]);
  }
  return true;
}

std::uint8_t lrgb_color_byte(double sum_channel, double sum_luminance) {
  if (sum_luminance <= 0.0) return 0;
  const double c = std::round(255.0 * sum_channel / sum_luminance);
  return static_cast<std::uint8_t>(std::clamp(c, 0.0, 255.0));
}

bool make_fit_matrix(const LightDirection* lights, int count, FitMatrix& matrix) {
  matrix = FitMatrix{0, nullptr};
  // Normal equations: (A^T A) x = A^T y.
  double factor[6][6] = {};
  if (!factor_normal_matrix(lights, count, factor)) return false;
  // Column i of the pseudo-inverse is (A^T A)^-1 times row i of A.
  matrix.light_count = count;
  matrix.rows = checked_alloc_array<double>(static_cast<std::size_t>(6) * count);
  for (int i = 0; i < count; ++i) {
    double row[6];
    double column[6];
    design_row(lights[i], row);
    cholesky_solve(factor, row, column);
    for (int k = 0; k < 6; ++k) matrix.rows[k * count + i] = column[k];
  }
  return true;
}

void free_fit_matrix(FitMatrix& matrix) {
  checked_free(matrix.rows);
  matrix = FitMatrix{0, nullptr};
}

void fit_coefficients(const FitMatrix& matrix, const float* samples, double coefficients[6]) {
  const int n = matrix.light_count;
  for (int k = 0; k < 6; ++k) {
    const double* row = matrix.rows + k * n;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += row[i] * samples[i];
    coefficients[k] = sum;
  }
}

bool fit_lrgb(const RgbImage* const* photographs, const LightDirection* lights, int count,
              LrgbFit& fit) {
  fit = LrgbFit{0, 0, nullptr, nullptr};
  if (count < 6 || !same_size(photographs, count)) return false;
  FitMatrix matrix;
  if (!make_fit_matrix(lights, count, matrix)) return false;

  const int width = photographs[0]->width;
  const int height = photographs[0]->height;
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  fit.width = width;
  fit.height = height;
  fit.coefficients = checked_alloc_array<float>(pixels * 6);
  fit.color = checked_alloc_array<std::uint8_t>(pixels * 3);
  float* samples = checked_alloc_array<float>(count);

  for (std::size_t p = 0; p < pixels; ++p) {
    double sum_channel[3] = {0.0, 0.0, 0.0};
    double sum_luminance = 0.0;
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* rgb = photographs[i]->pixels + 3 * p;
      const std::uint8_t y = std::max({rgb[0], rgb[1], rgb[2]});
      samples[i] = y;
      sum_luminance += y;
      for (int c = 0; c < 3; ++c) sum_channel[c] += rgb[c];
    }
    double coefficients[6];
    fit_coefficients(matrix, samples, coefficients);
    for (int k = 0; k < 6; ++k) fit.coefficients[6 * p + k] = static_cast<float>(coefficients[k]);
    for (int c = 0; c < 3; ++c) fit.color[3 * p + c] = lrgb_color_byte(sum_channel[c], sum_luminance);
  }

  checked_free(samples);
  free_fit_matrix(matrix);
  return true;
}

void free_lrgb_fit(LrgbFit& fit) {
  checked_free(fit.coefficients);
  checked_free(fit.color);
  fit = LrgbFit{0, 0, nullptr, nullptr};
}

void choose_scale_bias(const float* coefficients, std::size_t pixels, std::int32_t scale_bias[12]) {
  for (int k = 0; k < 6; ++k) {
    double low = 32767.0;
    double high = -32768.0;
    for (std::size_t p = 0; p < pixels; ++p) {
      const double value = coefficients[6 * p + k];
      if (std::isnan(value)) continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
    low = std::max(low, -32768.0);
    high = std::min(high, 32767.0);
    if (low > high) low = high = 0.0;  // no pixels, or no number among them
    choose_one(std::lround(low), std::lround(high), scale_bias[k], scale_bias[6 + k]);
  }
}

std::uint8_t quantize_coefficient(double value, std::int32_t scale, std::int32_t bias) {
  // The byte b = bias + value * 256 / scale would decode exactly without the
  // truncation; truncation moves a decoded value by less than one, and
  // decoded values step by at least one per byte, so the closest byte is
  // among the two on either side of b.
  if (std::isnan(value)) value = 0.0;
  value = std::clamp(value, -32768.0, 32767.0);
  const double centre = bias + value * 256.0 / scale;
  const double start = std::clamp(std::floor(centre) - 1.0, 0.0, 255.0);
  const double stop = std::clamp(std::floor(centre) + 2.0, 0.0, 255.0);
  int best = static_cast<int>(start);
  for (int b = static_cast<int>(start) + 1; b <= static_cast<int>(stop); ++b) {
    if (std::fabs(decoded(b, scale, bias) - value) <
        std::fabs(decoded(best, scale, bias) - value)) {
      best = b;
    }
  }
  return static_cast<std::uint8_t>(best);
}

Ptm* make_lrgb_ptm(const LrgbFit& fit, CoefRepresentation representation) {
  Ptm* ptm = create_ptm(fit.width, fit.height, PTM_FORMAT_LRGB, representation);
  const std::size_t pixels = pixel_count(*ptm);
  choose_scale_bias(fit.coefficients, pixels, ptm->scale_bias);
  const std::int32_t* sb = ptm->scale_bias;
  for (std::size_t p = 0; p < pixels; ++p) {
    const float* a = fit.coefficients + 6 * p;
    for (int k = 0; k < 3; ++k) {
      ptm->coef_planes[0][3 * p + k] = quantize_coefficient(a[k], sb[k], sb[6 + k]);
      ptm->coef_planes[1][3 * p + k] = quantize_coefficient(a[3 + k], sb[3 + k], sb[9 + k]);
    }
    set_lrgb_color(*ptm, p, fit.color + 3 * p);
  }
  convert_all_coefficients(*ptm);
  return ptm;
}

Ptm* make_rgb_ptm(const RgbFit& fit, CoefRepresentation representation) {
  Ptm* ptm = create_ptm(fit.width, fit.height, PTM_FORMAT_RGB, representation);
  const std::size_t pixels = pixel_count(*ptm);
  // The three channels' coefficient groups have the layout of three pixels
  // of an LRGB fit, so one range covers every channel.
  choose_scale_bias(fit.coefficients, pixels * 3, ptm->scale_bias);
  const std::int32_t* sb = ptm->scale_bias;
  for (std::size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < 3; ++c) {
      const float* a = fit.coefficients + 18 * p + 6 * c;
      for (int k = 0; k < 3; ++k) {
        ptm->coef_planes[2 * c][3 * p + k] = quantize_coefficient(a[k], sb[k], sb[6 + k]);
        ptm->coef_planes[2 * c + 1][3 * p + k] =
            quantize_coefficient(a[3 + k], sb[3 + k], sb[9 + k]);
      }
    }
  }
  convert_all_coefficients(*ptm);
  return ptm;
}

double relit_rms_error(const Ptm& ptm, const RgbImage* const* photographs,
                       const LightDirection* lights, int count) {
  double sum_squares = 0.0;
  const EvaluatePtmFn evaluate = select_evaluator(ptm);
  for (int i = 0; i < count; ++i) {
    const LightWeights weights = light_weights_for(lights[i].u, lights[i].v);
    const std::uint8_t* photo = photographs[i]->pixels;
    for (int y = 0; y < ptm.height; ++y) {
      for (int x = 0; x < ptm.width; ++x) {
        std::uint8_t rgb[3];
        evaluate(ptm, weights, x, y, rgb[0], rgb[1], rgb[2]);
        const std::uint8_t* expected = photo + 3 * (static_cast<std::size_t>(y) * ptm.width + x);
        for (int c = 0; c < 3; ++c) {
          const double d = static_cast<double>(rgb[c]) - expected[c];
          sum_squares += d * d;
        }
      }
    }
  }
  const double samples = 3.0 * count * static_cast<double>(pixel_count(ptm));
  return samples > 0 ? std::sqrt(sum_squares / samples) : 0.0;
}
