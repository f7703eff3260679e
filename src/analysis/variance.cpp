#include "analysis/variance.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <vector>

#include "analysis/luminance_moments.h"
#include "analysis/normals.h"
#include "common/end_program.h"
#include "common/parallel.h"
#include "render/reflectance_plot.h"

namespace {

// A variance, of either sign, no larger than this share of the magnitudes
// that cancel in E2 - mean^2 is rounding. The integer moments leave the sums a
// few units in the last place (about 1e-16) from the exact ones, the
// per-pixel sums over blocks some 1e-12 at worst; a map whose variance at
// some light is truly this small is uniform there for every purpose.
constexpr double rounding_tolerance = 1e-9;

// The pixels of the per-pixel sums are added in blocks of this many, so
// that no running sum collects the rounding of millions of additions.
constexpr std::int64_t sum_block = 4096;

constexpr std::uint8_t mid_grey = 128;

bool supported_format(int format) {
  return format == PTM_FORMAT_RGB || format == PTM_FORMAT_LUM || format == PTM_FORMAT_LRGB;
}

bool check_format(const Ptm& ptm) {
  if (supported_format(ptm.format)) return true;
  std::printf("Unsupported ptm format for computing variance bounds\n");
  return false;
}

// The fifteen quadratic sums from the 21 sums A(i, j) of a_i a_j (i <= j):
// the coefficients of L^2 collected by monomial.
void collect_quadratic_sums(const double a[moment_pair_count], VarianceModel& model) {
  auto A = [a](int i, int j) { return a[moment_pair(i, j)]; };
  double* q = model.quadratic;
  q[0] = A(5, 5);                   // 1
  q[1] = 2 * A(3, 5);               // u
  q[2] = A(3, 3) + 2 * A(0, 5);     // u^2
  q[3] = 2 * A(0, 3);               // u^3
  q[4] = A(0, 0);                   // u^4
  q[5] = 2 * A(4, 5);               // v
  q[6] = 2 * (A(3, 4) + A(2, 5));   // u v
  q[7] = 2 * (A(2, 3) + A(0, 4));   // u^2 v
  q[8] = 2 * A(0, 2);               // u^3 v
  q[9] = A(4, 4) + 2 * A(1, 5);     // v^2
  q[10] = 2 * (A(2, 4) + A(1, 3));  // u v^2
  q[11] = A(2, 2) + 2 * A(0, 1);    // u^2 v^2
  q[12] = 2 * A(1, 4);              // v^3
  q[13] = 2 * A(1, 2);              // u v^3
  q[14] = A(1, 1);                  // v^4
}

// Whether (b - bias) * scale stays inside 32 bits for every byte b: then
// the decoding is the exact affine function the moments need. It is
// affine in b, so the ends 0 and 255 decide.
bool decoding_is_exact(const Ptm& ptm) {
  for (int k = 0; k < 6; ++k) {
    const std::int64_t scale = ptm.scale_bias[k];
    const std::int64_t bias = ptm.scale_bias[6 + k];
    for (const std::int64_t b : {std::int64_t{0}, std::int64_t{255}}) {
      const std::int64_t value = (b - bias) * scale;
      if (value < std::numeric_limits<std::int32_t>::min() ||
          value > std::numeric_limits<std::int32_t>::max()) {
        return false;
      }
    }
  }
  return true;
}

// With a_k = scale_k (y_k - o_k) / d, o_k = weight * bias_k and d = 256 *
// weight: sum a_i a_j = scale_i scale_j C_ij / d^2 with the centred moment
// C_ij = P_ij - o_j S_i - o_i S_j + N o_i o_j, exact in 128 bits (P up to
// 2^62, the offset terms up to 2^108), and sum a_k = scale_k (S_k - N o_k)
// / d. Each sum is then three roundings from the exact real one.
void model_from_moments(const Ptm& ptm, VarianceModel& model, int threads) {
  const LuminanceMoments m = luminance_moments(ptm, threads);
  const std::int64_t weight = luminance_weight(ptm);
  const double divisor = 256.0 * static_cast<double>(weight);
  const __int128 n = static_cast<__int128>(pixel_count(ptm));
  __int128 offset[6];
  for (int k = 0; k < 6; ++k) offset[k] = static_cast<__int128>(weight) * ptm.scale_bias[6 + k];
  double a[moment_pair_count];
  for (int i = 0; i < 6; ++i) {
    for (int j = i; j < 6; ++j) {
      const __int128 centred = static_cast<__int128>(m.product[moment_pair(i, j)]) -
                               offset[j] * static_cast<__int128>(m.sum[i]) -
                               offset[i] * static_cast<__int128>(m.sum[j]) +
                               n * offset[i] * offset[j];
      const double scales =
          static_cast<double>(static_cast<std::int64_t>(ptm.scale_bias[i]) * ptm.scale_bias[j]);
      a[moment_pair(i, j)] = static_cast<double>(centred) * scales / (divisor * divisor);
    }
  }
  collect_quadratic_sums(a, model);
  for (int k = 0; k < 6; ++k) {
    const __int128 centred = static_cast<__int128>(m.sum[k]) - n * offset[k];
    model.linear[k] = static_cast<double>(centred) * ptm.scale_bias[k] / divisor;
  }
  model.pixels = static_cast<double>(pixel_count(ptm));
}

// The powers 1, x, x^2, x^3, x^4.
void powers(double x, double p[5]) {
  p[0] = 1;
  for (int i = 1; i < 5; ++i) p[i] = p[i - 1] * x;
}

}  // namespace

bool build_variance_model_per_pixel(const Ptm& ptm, VarianceModel& model, int threads) {
  if (!check_format(ptm)) return false;
  const std::size_t pixels = pixel_count(ptm);
  // Each block's sums in a place of their own, added in block order.
  struct BlockSums {
    double products[moment_pair_count] = {};
    double sums[6] = {};
  };
  std::vector<BlockSums> blocks(
      static_cast<std::size_t>(block_count(static_cast<std::int64_t>(pixels), sum_block)));
  parallel_blocks(threads, static_cast<std::int64_t>(pixels), sum_block,
                  [&](std::int64_t first, std::int64_t end) {
                    BlockSums& block = blocks[static_cast<std::size_t>(first / sum_block)];
                    for (std::int64_t p = first; p < end; ++p) {
                      double a[6];
                      luminance_coefficients(ptm, static_cast<std::size_t>(p), a);
                      for (int i = 0; i < 6; ++i) {
                        block.sums[i] += a[i];
                        for (int j = i; j < 6; ++j)
                          block.products[moment_pair(i, j)] += a[i] * a[j];
                      }
                    }
                  });
  double products[moment_pair_count] = {};
  double sums[6] = {};
  for (const BlockSums& block : blocks) {
    for (int i = 0; i < moment_pair_count; ++i) products[i] += block.products[i];
    for (int k = 0; k < 6; ++k) sums[k] += block.sums[k];
  }
  collect_quadratic_sums(products, model);
  std::copy(sums, sums + 6, model.linear);
  model.pixels = static_cast<double>(pixels);
  return true;
}

bool build_variance_model(const Ptm& ptm, VarianceModel& model, int threads) {
  if (!check_format(ptm)) return false;
  if (!decoding_is_exact(ptm)) return build_variance_model_per_pixel(ptm, model, threads);
  model_from_moments(ptm, model, threads);
  return true;
}

double variance_at(const VarianceModel& model, float lu, float lv) {
  if (!(model.pixels > 0)) return 0;
  double u[5];
  double v[5];
  powers(lu, u);
  powers(lv, v);
  double e2 = 0;
  double e2_magnitude = 0;
  for (int m = 0; m < variance_monomial_count; ++m) {
    const double term =
        model.quadratic[m] * u[variance_monomials[m].u_power] * v[variance_monomials[m].v_power];
    e2 += term;
    e2_magnitude += std::fabs(term);
  }
  e2 /= model.pixels;
  e2_magnitude /= model.pixels;
  // a0 .. a5 pair with u^2, v^2, u v, u, v, 1.
  const double monomials[6] = {u[2], v[2], u[1] * v[1], u[1], v[1], 1};
  double mean = 0;
  double mean_magnitude = 0;
  for (int k = 0; k < 6; ++k) {
    const double term = model.linear[k] * monomials[k];
    mean += term;
    mean_magnitude += std::fabs(term);
  }
  mean /= model.pixels;
  mean_magnitude /= model.pixels;
  const double mean_squared = mean * mean;
  const double variance = e2 - mean_squared;
  // Within rounding of zero either way is zero: a uniform map must show
  // one colour, not the pattern of the last bits of E2 and mean^2.
  if (std::fabs(variance) <= rounding_tolerance * (e2_magnitude + mean_magnitude * mean_magnitude)) {
    return 0;
  }
  if (variance > 0) return variance;
  std::printf("lu=%f, lv=%f, variance=%f, first term= %f, second_term=%f\n", lu, lv, variance, e2,
              mean_squared);
  end_program(-1);
}

VarianceRange scan_variance_range(const VarianceModel& model, int width, int height, float extent) {
  VarianceRange range;
  const int half_width = width / 2;
  const int half_height = height / 2;
  const float extent_squared = extent * extent;
  for (int i = 0; i < height; ++i) {
    const float v = static_cast<float>(i - half_height) * extent / static_cast<float>(half_height);
    for (int j = 0; j < width; ++j) {
      const float u = plot_light(j, half_width, extent);
      if (!(extent_squared > u * u + v * v)) continue;
      const double variance = variance_at(model, u, v);
      range.max = std::max(range.max, variance);
      range.min = std::min(range.min, variance);
    }
  }
  return range;
}

double normalised_variance(const VarianceModel& model, const VarianceRange& range, float lu,
                           float lv) {
  const double spread = range.max - range.min;
  if (!(spread > 0)) return 0;
  return (variance_at(model, lu, lv) - range.min) / spread;
}

void render_variance_picture(RgbImage& image, const VarianceModel& model,
                             const VarianceRange& range, float extent) {
  const int width = image.width;
  const int height = image.height;
  const int half_width = width / 2;
  const int half_height = height / 2;
  const float extent_squared = extent * extent;
  for (int i = 0; i < height; ++i) {
    const float v = plot_light(i, half_height, extent);
    std::uint8_t* pixel = image.pixels + static_cast<std::size_t>(i) * width * 3;
    for (int j = 0; j < width; ++j, pixel += 3) {
      const float u = plot_light(j, half_width, extent);
      if (!(extent_squared >= u * u + v * v)) {
        pixel[0] = pixel[1] = pixel[2] = mid_grey;
        continue;
      }
      // The range was scanned strictly inside the disc; on its boundary
      // (and after the extent changed) n can leave 0..1, and 255 n must
      // not wrap around in a byte.
      const double n = std::clamp(normalised_variance(model, range, u, v), 0.0, 1.0);
      pixel[0] = static_cast<std::uint8_t>(255 * n);
      pixel[1] = 0;
      pixel[2] = static_cast<std::uint8_t>(255 * (1 - n));
    }
  }
}
