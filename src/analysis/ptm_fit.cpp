#include "analysis/ptm_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/cholesky.h"
#include "common/checked_alloc.h"
#include "common/parallel.h"
#include "ptm/coefficients.h"
#include "render/evaluate.h"

namespace {

// Below this fraction of a column's own squared length, the part of a
// column of A that the others do not explain marks a light set whose
// coefficients would amplify an error of one grey level in the photographs
// by 10^4 or more: it is refused rather than fitted.
constexpr double min_relative_pivot = 1e-8;

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

// The byte whose decoded value (`decode(b)`) is closest to `value`, the
// first of two as close. The byte b = bias + value * 256 / scale would
// decode exactly without the truncation; truncation moves a decoded value
// by less than one, and decoded values step by at least one per byte, so
// the closest byte is among the two on either side of b.
template <typename Decode>
std::uint8_t closest_byte(double value, std::int32_t scale, std::int32_t bias, Decode decode) {
  if (std::isnan(value)) value = 0.0;
  value = std::clamp(value, -32768.0, 32767.0);
  const double centre = bias + value * 256.0 / scale;
  const double start = std::clamp(std::floor(centre) - 1.0, 0.0, 255.0);
  const double stop = std::clamp(std::floor(centre) + 2.0, 0.0, 255.0);
  int best = static_cast<int>(start);
  for (int b = static_cast<int>(start) + 1; b <= static_cast<int>(stop); ++b) {
    if (std::fabs(decode(b) - value) < std::fabs(decode(best) - value)) best = b;
  }
  return static_cast<std::uint8_t>(best);
}

// The pixels of one block of the coefficient passes: a few hundred
// kilobytes of coefficients, many blocks even for a small map.
constexpr std::int64_t range_block = 16384;

struct CoefficientRange {
  double low[6] = {32767.0, 32767.0, 32767.0, 32767.0, 32767.0, 32767.0};
  double high[6] = {-32768.0, -32768.0, -32768.0, -32768.0, -32768.0, -32768.0};
};

void widen(CoefficientRange& range, const float* a) {
  for (int k = 0; k < 6; ++k) {
    const double value = a[k];
    if (std::isnan(value)) continue;
    range.low[k] = std::min(range.low[k], value);
    range.high[k] = std::max(range.high[k], value);
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
  return cholesky_factor(normal, 6, min_relative_pivot, factor);
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
    cholesky_solve(factor, 6, unit, inverse[j]);
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
    cholesky_solve(factor, 6, row, column);
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

void choose_scale_bias(const float* coefficients, std::size_t pixels, std::int32_t scale_bias[12],
                       int threads) {
  // Each block's smallest and largest values, then theirs: the same
  // numbers whatever the blocks, as min and max do not round.
  std::vector<CoefficientRange> ranges(
      static_cast<std::size_t>(block_count(static_cast<std::int64_t>(pixels), range_block)));
  parallel_blocks(threads, static_cast<std::int64_t>(pixels), range_block,
                  [&](std::int64_t begin, std::int64_t end) {
                    CoefficientRange& range = ranges[begin / range_block];
                    for (auto p = static_cast<std::size_t>(begin); p < static_cast<std::size_t>(end);
                         ++p) {
                      widen(range, coefficients + 6 * p);
                    }
                  });
  CoefficientRange whole;
  for (const CoefficientRange& range : ranges) {
    for (int k = 0; k < 6; ++k) {
      whole.low[k] = std::min(whole.low[k], range.low[k]);
      whole.high[k] = std::max(whole.high[k], range.high[k]);
    }
  }
  for (int k = 0; k < 6; ++k) {
    double low = std::max(whole.low[k], -32768.0);
    double high = std::min(whole.high[k], 32767.0);
    if (low > high) low = high = 0.0;  // no pixels, or no number among them
    choose_one(std::lround(low), std::lround(high), scale_bias[k], scale_bias[6 + k]);
  }
}

void quantize_coefficient_planes(const float* coefficients, std::size_t pixels, std::size_t stride,
                                 const std::int32_t scale_bias[12], std::uint8_t* low,
                                 std::uint8_t* high, int threads) {
  // quantize_coefficient with each coefficient's 256 decoded values
  // looked up rather than computed, four times per value.
  double decoded_values[6][256];
  for (int k = 0; k < 6; ++k) {
    for (int b = 0; b < 256; ++b) decoded_values[k][b] = decoded(b, scale_bias[k], scale_bias[6 + k]);
  }
  auto quantize = [&](double value, int k) {
    const double* table = decoded_values[k];
    return closest_byte(value, scale_bias[k], scale_bias[6 + k], [table](int b) { return table[b]; });
  };
  parallel_blocks(threads, static_cast<std::int64_t>(pixels), range_block,
                  [&](std::int64_t begin, std::int64_t end) {
                    for (auto p = static_cast<std::size_t>(begin); p < static_cast<std::size_t>(end);
                         ++p) {
                      const float* a = coefficients + stride * p;
                      for (int k = 0; k < 3; ++k) {
                        low[3 * p + k] = quantize(a[k], k);
                        high[3 * p + k] = quantize(a[3 + k], 3 + k);
                      }
                    }
                  });
}

std::uint8_t quantize_coefficient(double value, std::int32_t scale, std::int32_t bias) {
  return closest_byte(value, scale, bias, [&](int b) { return decoded(b, scale, bias); });
}

Ptm* relightable_ptm(const Ptm& stored, CoefRepresentation representation) {
  Ptm* ptm = create_ptm(stored.width, stored.height, stored.format, representation);
  const std::size_t pixels = pixel_count(*ptm);
  std::copy_n(stored.scale_bias, 12, ptm->scale_bias);
  const int planes = stored.format == PTM_FORMAT_LRGB ? 2 : 6;
  for (int i = 0; i < planes; ++i) std::copy_n(stored.coef_planes[i], 3 * pixels, ptm->coef_planes[i]);
  if (stored.format == PTM_FORMAT_LRGB) {
    for (std::size_t p = 0; p < pixels; ++p) {
      std::uint8_t rgb[3];
      get_lrgb_color(stored, p, rgb);
      set_lrgb_color(*ptm, p, rgb);
    }
  }
  convert_all_coefficients(*ptm);
  return ptm;
}

Ptm* make_lrgb_ptm(const LrgbFit& fit, CoefRepresentation representation) {
  Ptm* ptm = create_ptm(fit.width, fit.height, PTM_FORMAT_LRGB, representation);
  const std::size_t pixels = pixel_count(*ptm);
  choose_scale_bias(fit.coefficients, pixels, ptm->scale_bias);
  quantize_coefficient_planes(fit.coefficients, pixels, 6, ptm->scale_bias, ptm->coef_planes[0],
                              ptm->coef_planes[1], 1);
  for (std::size_t p = 0; p < pixels; ++p) set_lrgb_color(*ptm, p, fit.color + 3 * p);
  convert_all_coefficients(*ptm);
  return ptm;
}

Ptm* make_rgb_ptm(const RgbFit& fit, CoefRepresentation representation) {
  Ptm* ptm = create_ptm(fit.width, fit.height, PTM_FORMAT_RGB, representation);
  const std::size_t pixels = pixel_count(*ptm);
  // The three channels' coefficient groups have the layout of three pixels
  // of an LRGB fit, so one range covers every channel.
  choose_scale_bias(fit.coefficients, pixels * 3, ptm->scale_bias);
  for (int c = 0; c < 3; ++c) {
    quantize_coefficient_planes(fit.coefficients + 6 * c, pixels, 18, ptm->scale_bias,
                                ptm->coef_planes[2 * c], ptm->coef_planes[2 * c + 1], 1);
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
