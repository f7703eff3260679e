#include "analysis/variance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "analysis/luminance_moments.h"
#include "ptm/ptm.h"

namespace {

// A map of `format` (wide representation) whose stored coefficient bytes
// come from `byte_at(plane, index)`, with the given scales (x 256) and
// biases.
template <typename ByteAt>
Ptm* make_map(int format, int width, int height, const std::array<std::int32_t, 6>& scale,
              const std::array<std::int32_t, 6>& bias, ByteAt byte_at) {
  Ptm* ptm = create_ptm(width, height, format, CoefRepresentation::wide);
  for (int k = 0; k < 6; ++k) {
    ptm->scale_bias[k] = scale[k];
    ptm->scale_bias[6 + k] = bias[k];
  }
  const int planes = format == PTM_FORMAT_RGB ? 6 : 2;
  for (int plane = 0; plane < planes; ++plane) {
    for (std::size_t i = 0; i < pixel_count(*ptm) * 3; ++i)
      ptm->coef_planes[plane][i] = byte_at(plane, i);
  }
  return ptm;
}

Ptm* random_map(int format, int width, int height, unsigned seed,
                const std::array<std::int32_t, 6>& scale, const std::array<std::int32_t, 6>& bias) {
  std::mt19937 random(seed);
  return make_map(format, width, height, scale, bias,
                  [&random](int, std::size_t) { return static_cast<std::uint8_t>(random()); });
}

// The luminance model of pixel p in display units, by the decoding rule:
// (b - bias) * scale in wrapping 32-bit arithmetic, over 256; RGB maps mix
// 0.3 red + 0.59 green + 0.11 blue.
std::array<long double, 6> pixel_model(const Ptm& ptm, std::size_t p) {
  auto decoded = [&ptm, p](int channel, int k) {
    const std::uint8_t b = ptm.coef_planes[2 * channel + k / 3][p * 3 + k % 3];
    const std::uint32_t wrapped =
        (static_cast<std::uint32_t>(b) - static_cast<std::uint32_t>(ptm.scale_bias[6 + k])) *
        static_cast<std::uint32_t>(ptm.scale_bias[k]);
    return static_cast<long double>(static_cast<std::int32_t>(wrapped)) / 256;
  };
  std::array<long double, 6> a{};
  for (int k = 0; k < 6; ++k) {
    a[k] = ptm.format == PTM_FORMAT_RGB
               ? 0.3L * decoded(0, k) + 0.59L * decoded(1, k) + 0.11L * decoded(2, k)
               : decoded(0, k);
  }
  return a;
}

struct Reference {
  long double variance;
  long double mean_square;  // E[L^2], the scale of the rounding
  // The mean over the pixels of (sum of |a_k m_k|)^2: it bounds each of
  // the two magnitudes that cancel in E2 - mean^2 (the sum of |Q[m] m| / N
  // and the square of the sum of |S[k] m_k| / N).
  long double terms_squared;
};

using PixelModels = std::vector<std::array<long double, 6>>;

PixelModels pixel_models(const Ptm& ptm) {
  PixelModels models(pixel_count(ptm));
  for (std::size_t p = 0; p < models.size(); ++p) models[p] = pixel_model(ptm, p);
  return models;
}

// The variance over the pixels of the relit luminance for light (u, v),
// from every pixel's own L(u, v), in two passes.
Reference direct_variance(const PixelModels& models, float lu, float lv) {
  const long double u = lu;
  const long double v = lv;
  const std::size_t n = models.size();
  std::vector<long double> luminance(n);
  long double sum = 0;
  long double squares = 0;
  long double terms_squared = 0;
  for (std::size_t p = 0; p < n; ++p) {
    const auto& a = models[p];
    luminance[p] = a[0] * u * u + a[1] * v * v + a[2] * u * v + a[3] * u + a[4] * v + a[5];
    sum += luminance[p];
    squares += luminance[p] * luminance[p];
    const long double terms = std::fabs(a[0] * u * u) + std::fabs(a[1] * v * v) +
                              std::fabs(a[2] * u * v) + std::fabs(a[3] * u) +
                              std::fabs(a[4] * v) + std::fabs(a[5]);
    terms_squared += terms * terms;
  }
  const long double mean = sum / n;
  long double deviations = 0;
  for (const long double l : luminance) deviations += (l - mean) * (l - mean);
  return {deviations / n, squares / n, terms_squared / n};
}

// E2 - mean^2 from a model's sums as the rule states it, E2 = (sum of
// Q[m] m(u, v)) / N and mean = (sum of S[k] times a_k's monomial) / N,
// without the rule for rounding: the lights where this is negative.
double raw_difference(const VarianceModel& model, float lu, float lv) {
  double u[5] = {1};
  double v[5] = {1};
  for (int i = 1; i < 5; ++i) {
    u[i] = u[i - 1] * lu;
    v[i] = v[i - 1] * lv;
  }
  double e2 = 0;
  for (int m = 0; m < variance_monomial_count; ++m) {
    e2 += model.quadratic[m] * u[variance_monomials[m].u_power] * v[variance_monomials[m].v_power];
  }
  e2 /= model.pixels;
  const double s[6] = {u[2], v[2], u[1] * v[1], u[1], v[1], 1};
  double mean = 0;
  for (int k = 0; k < 6; ++k) mean += model.linear[k] * s[k];
  mean /= model.pixels;
  return e2 - mean * mean;
}

constexpr std::array<std::int32_t, 6> unit_scale = {256, 256, 256, 256, 256, 256};

}  // namespace

TEST(VarianceModel, MatchesTheVarianceOfTheRelitLuminanceComputedPixelByPixel) {
  const struct {
    const char* name;
    int format;
    int width;
    int height;
    std::array<std::int32_t, 6> scale;
    std::array<std::int32_t, 6> bias;
  } cases[] = {
      {"LRGB",
       PTM_FORMAT_LRGB,
       37,
       29,
       {300, 512, 97, 1000, 777, 256},
       {128, 100, 140, 127, 90, 0}},
      {"LUM",
       PTM_FORMAT_LUM,
       40,
       30,
       {256, 640, 333, 256, 512, 300},
       {128, 128, 128, 128, 128, 20}},
      {"RGB", PTM_FORMAT_RGB, 31, 23, {401, 256, 713, 256, 999, 256}, {120, 128, 130, 128, 128, 5}},
      // 300000 pixels: more than one flush of the 64-pixel kernel, and 32
      // pixels left over for the others.
      {"large LRGB",
       PTM_FORMAT_LRGB,
       600,
       500,
       {256, 256, 256, 512, 512, 256},
       {128, 128, 128, 128, 128, 0}},
      {"large RGB",
       PTM_FORMAT_RGB,
       301,
       199,
       {256, 300, 256, 512, 512, 256},
       {128, 128, 128, 128, 128, 0}},
      // Biases far outside the bytes' range, but no wrapping.
      {"far bias",
       PTM_FORMAT_LRGB,
       20,
       20,
       {3, 5, 2, 7, 1, 4},
       {-1000000, 2000000, 5, 300000, -7, 99}},
      // (255 - 0) * 2^30 wraps in 32 bits: the coefficients are what the
      // wrapping decoding makes of them, summed pixel by pixel.
      {"wrapping scale",
       PTM_FORMAT_LRGB,
       16,
       9,
       {1 << 30, 256, 256, 256, 256, 256},
       {0, 128, 128, 128, 128, 0}},
  };
  const float lights[] = {-2.5f, -1.0f, -0.37f, 0.0f, 0.5f, 0.992f, 1.7f};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ptm* ptm = random_map(c.format, c.width, c.height, 11, c.scale, c.bias);
    const PixelModels models = pixel_models(*ptm);
    VarianceModel model{};
    ASSERT_TRUE(build_variance_model(*ptm, model));
    EXPECT_EQ(model.pixels, c.width * c.height);
    for (const float u : lights) {
      for (const float v : lights) {
        const Reference expected = direct_variance(models, u, v);
        const double variance = variance_at(model, u, v);
        // A variance within rounding of zero, no more than 1e-9 of the
        // magnitudes that cancel (the far biases make some), is 0.
        const bool zero_within_rounding =
            variance == 0 && expected.variance <= 1e-9L * 2 * expected.terms_squared;
        if (!zero_within_rounding) {
          EXPECT_NEAR(variance, static_cast<double>(expected.variance),
                      1e-11 * static_cast<double>(expected.mean_square))
              << "light (" << u << ", " << v << ")";
        }
      }
    }
    // The integer moments and the straightforward per-pixel double sums
    // agree to a few units in the last place.
    VarianceModel per_pixel{};
    ASSERT_TRUE(build_variance_model_per_pixel(*ptm, per_pixel));
    for (int m = 0; m < variance_monomial_count; ++m) {
      EXPECT_NEAR(model.quadratic[m], per_pixel.quadratic[m],
                  1e-12 * std::fabs(per_pixel.quadratic[m]))
          << "monomial " << m;
    }
    for (int k = 0; k < 6; ++k) {
      EXPECT_NEAR(model.linear[k], per_pixel.linear[k],
                  1e-12 * std::fabs(per_pixel.linear[k]) + 1e-9)
          << "coefficient " << k;
    }
    free_ptm(ptm);
  }
}

TEST(LuminanceMoments, EveryKernelSumsTheLuminanceIntegersExactly) {
  // The largest bytes give the largest sums, where a narrow accumulator
  // would overflow first.
  Ptm* maps[] = {
      random_map(PTM_FORMAT_LRGB, 600, 500, 3, unit_scale, {}),
      make_map(PTM_FORMAT_LRGB, 700, 1201, unit_scale, {}, [](int, std::size_t) { return 255; }),
      random_map(PTM_FORMAT_LUM, 65, 3, 4, unit_scale, {}),
      random_map(PTM_FORMAT_RGB, 301, 199, 5, unit_scale, {}),
      make_map(PTM_FORMAT_RGB, 300, 700, unit_scale, {}, [](int, std::size_t) { return 255; }),
  };
  for (Ptm* ptm : maps) {
    SCOPED_TRACE(std::to_string(ptm->width) + " x " + std::to_string(ptm->height) + " format " +
                 std::to_string(ptm->format));
    LuminanceMoments expected{};
    for (std::size_t p = 0; p < pixel_count(*ptm); ++p) {
      std::uint64_t y[6];
      for (int k = 0; k < 6; ++k) {
        auto byte = [&](int channel) {
          return std::uint64_t{ptm->coef_planes[2 * channel + k / 3][p * 3 + k % 3]};
        };
        y[k] = ptm->format == PTM_FORMAT_RGB ? 30 * byte(0) + 59 * byte(1) + 11 * byte(2) : byte(0);
      }
      for (int i = 0; i < 6; ++i) {
        expected.sum[i] += y[i];
        for (int j = i; j < 6; ++j) expected.product[moment_pair(i, j)] += y[i] * y[j];
      }
    }
    for (const MomentsIsa isa : {MomentsIsa::portable, MomentsIsa::avx2, MomentsIsa::avx512}) {
      if (!moments_isa_available(isa)) continue;
      SCOPED_TRACE("kernel " + std::to_string(static_cast<int>(isa)));
      const LuminanceMoments m = luminance_moments(*ptm, isa);
      EXPECT_TRUE(std::equal(m.sum, m.sum + 6, expected.sum));
      EXPECT_TRUE(std::equal(m.product, m.product + moment_pair_count, expected.product));
    }
    free_ptm(ptm);
  }
}

TEST(VarianceModel, AUniformMapHasVarianceZeroForEveryLightWhicheverWayRoundingGoes) {
  // Every pixel alike: the variance is 0 for every light, but E2 and mean^2
  // are computed separately and differ by rounding, either way. Both ways
  // are 0, so the variance picture is one colour: blue (n = 0) everywhere
  // inside the disc.
  const struct {
    int format;
    std::array<std::uint8_t, 6> bytes;
    std::array<std::int32_t, 6> scale;
  } cases[] = {
      {PTM_FORMAT_LRGB, {17, 200, 3, 250, 77, 131}, {333, 517, 1000, 211, 401, 999}},
      {PTM_FORMAT_LRGB, {255, 255, 255, 255, 255, 255}, unit_scale},
      {PTM_FORMAT_RGB, {90, 140, 33, 201, 5, 180}, {300, 256, 700, 256, 513, 256}},
      {PTM_FORMAT_LUM, {1, 2, 3, 4, 5, 6}, {777, 778, 779, 780, 781, 782}},
  };
  int negative_differences = 0;
  int positive_differences = 0;
  for (const auto& c : cases) {
    // Plane 2c holds a0..a2 and plane 2c + 1 a3..a5 of every pixel.
    Ptm* ptm = make_map(c.format, 13, 7, c.scale, {100, 100, 100, 100, 100, 0},
                        [&c](int plane, std::size_t i) { return c.bytes[plane % 2 * 3 + i % 3]; });
    for (const auto build : {build_variance_model, build_variance_model_per_pixel}) {
      VarianceModel model{};
      ASSERT_TRUE(build(*ptm, model));
      const VarianceRange range = scan_variance_range(model, 250, 250, 2.0f);
      EXPECT_EQ(range.min, 0.0);
      EXPECT_EQ(range.max, 0.0);
      for (int i = 0; i < 250; i += 3) {
        for (int j = 0; j < 250; j += 3) {
          const float u = 2.0f * (j - 125) / 125;
          const float v = 2.0f * (i - 125) / 125;
          const double raw = raw_difference(model, u, v);
          negative_differences += raw < 0;
          positive_differences += raw > 0;
          EXPECT_EQ(variance_at(model, u, v), 0.0) << "E2 - mean^2 = " << raw;
        }
      }
      std::vector<std::uint8_t> pixels(250 * 250 * 3);
      RgbImage picture{250, 250, pixels.data()};
      render_variance_picture(picture, model, range, 1.0f);
      const std::uint8_t blue[3] = {0, 0, 255};
      EXPECT_TRUE(std::equal(blue, blue + 3, pixels.data() + (125 * 250 + 125) * 3));
      int other_colours = 0;
      for (std::size_t p = 0; p < pixels.size(); p += 3) {
        const bool grey = pixels[p] == 128 && pixels[p + 1] == 128 && pixels[p + 2] == 128;
        other_colours += !grey && !std::equal(blue, blue + 3, pixels.data() + p);
      }
      EXPECT_EQ(other_colours, 0);
    }
    free_ptm(ptm);
  }
  // The cases the tolerance exists for did occur.
  EXPECT_GT(negative_differences, 0);
  EXPECT_GT(positive_differences, 0);
}

TEST(VarianceModel, AClearlyNegativeVarianceEndsTheProgramWithItsMessage) {
  // Sums that describe no map: E2 = 0 but a mean of 1.
  VarianceModel impossible{};
  impossible.linear[5] = 4;
  impossible.pixels = 4;
  EXPECT_EXIT(
      {
        dup2(2, 1);
        variance_at(impossible, 0.5f, 0.0f);
      },
      testing::ExitedWithCode(255),
      "lu=0.500000, lv=0.000000, variance=-1.000000, first term= 0.000000, second_term=1.000000\n");
}

TEST(VarianceModel, OnlyTheLuminanceFormatsAreModelled) {
  Ptm table_map{};
  table_map.width = 1;
  table_map.height = 1;
  table_map.format = PTM_FORMAT_PTM_LUT;
  VarianceModel model{};
  testing::internal::CaptureStdout();
  EXPECT_FALSE(build_variance_model(table_map, model));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unsupported ptm format for computing variance bounds\n");
}

TEST(VariancePicture, ColoursTheNormalisedVarianceClampedAtTheDiscsEdge) {
  // Two pixels lit as 100 + 100 u and 100 - 100 u: the variance is
  // (100 u)^2, largest where |u| is, 0 along u = 0.
  Ptm* ptm = make_map(PTM_FORMAT_LRGB, 2, 1, unit_scale, {0, 0, 0, 128, 0, 0},
                      [](int plane, std::size_t i) -> std::uint8_t {
                        if (plane == 0) return 0;
                        const std::uint8_t second_plane[6] = {228, 0, 100, 28, 0, 100};
                        return second_plane[i];
                      });
  VarianceModel model{};
  ASSERT_TRUE(build_variance_model(*ptm, model));
  free_ptm(ptm);

  // Strictly inside the disc, |u| reaches 124 / 125 (column 1 or 249 with
  // v = 0); u = -1 (column 0) only on the boundary.
  const VarianceRange range = scan_variance_range(model, 250, 250, 1.0f);
  const double largest = 10000.0 * (124.0f / 125) * (124.0f / 125);
  EXPECT_NEAR(range.max, largest, 1e-9);
  EXPECT_NEAR(range.min, 0.0, 1e-9);

  std::vector<std::uint8_t> pixels(250 * 250 * 3);
  RgbImage picture{250, 250, pixels.data()};
  render_variance_picture(picture, model, range, 1.0f);
  int off = 0;
  for (int i = 0; i < 250; ++i) {
    for (int j = 0; j < 250; ++j) {
      const float u = (j - 125) / 125.0f;
      const float v = (i - 125) / 125.0f;
      int expected[3] = {128, 128, 128};
      if (u * u + v * v <= 1) {
        const double n = std::min(1.0, 10000.0 * u * u / largest);
        expected[0] = static_cast<int>(255 * n);
        expected[1] = 0;
        expected[2] = static_cast<int>(255 * (1 - n));
      }
      const std::uint8_t* got = pixels.data() + (i * 250 + j) * 3;
      // A trunc of a value within rounding of an integer may go either way.
      for (int c = 0; c < 3; ++c) off += std::abs(got[c] - expected[c]) > 1;
    }
  }
  EXPECT_EQ(off, 0);
  const std::uint8_t* edge = pixels.data() + (125 * 250 + 0) * 3;  // u = -1, v = 0
  EXPECT_EQ(std::vector<int>(edge, edge + 3), (std::vector<int>{255, 0, 0}));
  const std::uint8_t* centre = pixels.data() + (125 * 250 + 125) * 3;
  EXPECT_EQ(std::vector<int>(centre, centre + 3), (std::vector<int>{0, 0, 255}));

  // No direction scanned (extent 0), or a variance the same everywhere:
  // the normalised value is 0, not a division by zero.
  const VarianceRange empty = scan_variance_range(model, 250, 250, 0.0f);
  EXPECT_GT(empty.min, empty.max);
  EXPECT_EQ(normalised_variance(model, empty, 0.5f, 0.0f), 0.0);
  EXPECT_EQ(normalised_variance(model, VarianceRange{2500.0, 2500.0}, 0.5f, 0.0f), 0.0);
}
