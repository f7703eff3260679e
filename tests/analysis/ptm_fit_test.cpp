#include "analysis/ptm_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/rgb_image.h"
#include "ptm/ptm.h"
#include "render/evaluate.h"

namespace {

// Nine lights on the grid u, v in {-0.5, 0, 0.5}: every term of the test
// polynomial below is then an even integer.
std::vector<LightDirection> grid_lights() {
  std::vector<LightDirection> lights;
  for (float v : {-0.5f, 0.0f, 0.5f}) {
    for (float u : {-0.5f, 0.0f, 0.5f}) lights.push_back({u, v});
  }
  return lights;
}

constexpr double known[6] = {-40, -24, 16, 60, -20, 150};

double biquadratic(const double a[6], double u, double v) {
  return a[0] * u * u + a[1] * v * v + a[2] * u * v + a[3] * u + a[4] * v + a[5];
}

// The decoding rule, written out: trunc((b - B) * S / 256); C++ integer
// division truncates toward zero.
int decode(int byte, int scale, int bias) { return (byte - bias) * scale / 256; }

}  // namespace

TEST(PtmFit, RecoversTheCoefficientsOfNoiselessBiquadraticSamples) {
  // Three rings and the zenith, 25 lights, not symmetric in u and v.
  std::vector<LightDirection> lights{{0.0f, 0.0f}};
  for (float radius : {0.3f, 0.6f, 0.9f}) {
    for (int k = 0; k < 8; ++k) {
      const double angle = 0.785398 * k + radius;
      lights.push_back({static_cast<float>(radius * std::cos(angle)),
                        static_cast<float>(radius * std::sin(angle))});
    }
  }
  FitMatrix matrix;
  ASSERT_TRUE(make_fit_matrix(lights.data(), static_cast<int>(lights.size()), matrix));
  std::vector<float> samples;
  for (const LightDirection& l : lights) {
    samples.push_back(static_cast<float>(biquadratic(known, l.u, l.v)));
  }
  double fitted[6];
  fit_coefficients(matrix, samples.data(), fitted);
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(fitted[k], known[k], 1e-3) << "a" << k;
  free_fit_matrix(matrix);
}

TEST(PtmFit, RefusesLightSetsThatDoNotDetermineSixCoefficients) {
  FitMatrix matrix;
  const std::vector<LightDirection> grid = grid_lights();
  EXPECT_FALSE(make_fit_matrix(grid.data(), 5, matrix));  // fewer than six
  EXPECT_EQ(matrix.rows, nullptr);

  // One ring: u^2 + v^2 = 0.49 for every light, so a0 = a1 = 1, a5 = -0.49
  // is invisible.
  std::vector<LightDirection> ring;
  for (int k = 0; k < 12; ++k) {
    ring.push_back({static_cast<float>(0.7 * std::cos(0.5236 * k)),
                    static_cast<float>(0.7 * std::sin(0.5236 * k))});
  }
  EXPECT_FALSE(make_fit_matrix(ring.data(), 12, matrix));

  // One line u = v: u^2, v^2 and u v are the same column.
  std::vector<LightDirection> line;
  for (int k = 0; k < 8; ++k) line.push_back({0.1f * k - 0.35f, 0.1f * k - 0.35f});
  EXPECT_FALSE(make_fit_matrix(line.data(), 8, matrix));

  // The grid itself is fine.
  EXPECT_TRUE(make_fit_matrix(grid.data(), 9, matrix));
  free_fit_matrix(matrix);
}

// Pixel 0 is lit as the test polynomial in red, half of it in green and a
// constant 80 in blue (below red's minimum of 90, so red is the
// luminance); pixel 1 is black under every light.
TEST(PtmFit, LrgbFitTakesLuminanceFromTheBrightestChannelAndColourFromTheSums) {
  const std::vector<LightDirection> lights = grid_lights();
  std::vector<RgbImage*> photographs;
  for (const LightDirection& l : lights) {
    RgbImage* image = new_rgb_image(2, 1);
    const int y = static_cast<int>(std::lround(biquadratic(known, l.u, l.v)));
    const std::uint8_t pixels[6] = {
        static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(y / 2), 80, 0, 0, 0};
    std::copy(pixels, pixels + 6, image->pixels);
    photographs.push_back(image);
  }
  LrgbFit fit;
  ASSERT_TRUE(fit_lrgb(photographs.data(), lights.data(), 9, fit));
  EXPECT_EQ(fit.width, 2);
  EXPECT_EQ(fit.height, 1);
  for (int k = 0; k < 6; ++k) {
    EXPECT_NEAR(fit.coefficients[k], known[k], 1e-3) << "a" << k;
    EXPECT_NEAR(fit.coefficients[6 + k], 0.0, 1e-6) << "a" << k;
  }
  // Over the grid sum Y = 9 * 150 - 40 * 1.5 - 24 * 1.5 = 1254, so green
  // is 255 * 627 / 1254 = 127.5 -> 128 and blue 255 * 720 / 1254 = 146.4
  // -> 146.
  const std::uint8_t color[6] = {255, 128, 146, 0, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(fit.color[i], color[i]) << "byte " << i;
  free_lrgb_fit(fit);

  RgbImage* other_size = new_rgb_image(1, 1);
  std::vector<RgbImage*> mixed = photographs;
  mixed[4] = other_size;
  EXPECT_FALSE(fit_lrgb(mixed.data(), lights.data(), 9, fit));
  free_rgb_image(other_size);
  for (RgbImage* image : photographs) free_rgb_image(image);
}

TEST(PtmFit, ScaleAndBiasSpanEachCoefficientsRangeWithTheFinestStep) {
  // Two pixels: coefficient k spans [coefficients[k], coefficients[6 + k]].
  const float coefficients[12] = {-99.6f, 0.2f,   -300.0f, 5.0f, -0.4f, 64.0f,
                                  99.7f,  510.0f, 199.6f,  5.0f, 0.3f,  128.0f};
  std::int32_t scale_bias[12];
  choose_scale_bias(coefficients, 2, scale_bias);
  // [-100, 100] fits 256 steps of one; [0, 510] needs steps of two;
  // [-300, 200] needs S >= 256 * 500 / 255, and S = 502 with B = 153 gives
  // byte 0 -> trunc(-300.02) = -300 and byte 255 -> trunc(200.02) = 200.
  const std::int32_t expected[12] = {256, 512, 502, 256, 256, 256, 100, 0, 153, -5, 0, -64};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(scale_bias[i], expected[i]) << "entry " << i;
}

TEST(PtmFit, QuantisationPicksTheClosestDecodableByte) {
  const struct {
    int scale, bias;
    double low, high;
  } cases[] = {{256, 100, -100, 155}, {512, 0, 0, 510}, {502, 153, -300, 200}, {300, 0, 0, 298}};
  for (const auto& c : cases) {
    // Decoded neighbours differ by ceil(S / 256) at most.
    const double half_step = std::ceil(c.scale / 256.0) / 2.0;
    // The planes of a map (six coefficients a pixel, all of this scale and
    // bias) get the bytes quantize_coefficient gives, beyond the range and
    // for NaN too.
    std::vector<float> values = {std::nanf(""), -40000.0f, 40000.0f};
    for (double value = c.low - 2; value <= c.high + 2; value += 0.05) {
      values.push_back(static_cast<float>(value));
    }
    values.resize(6 * ((values.size() + 5) / 6), 0.5f);
    const std::size_t pixels = values.size() / 6;
    std::int32_t scale_bias[12];
    std::fill_n(scale_bias, 6, c.scale);
    std::fill_n(scale_bias + 6, 6, c.bias);
    std::vector<std::uint8_t> low(3 * pixels);
    std::vector<std::uint8_t> high(3 * pixels);
    quantize_coefficient_planes(values.data(), pixels, 6, scale_bias, low.data(), high.data(), 3);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::size_t p = i / 6;
      const std::size_t k = i % 6;
      ASSERT_EQ(k < 3 ? low[3 * p + k] : high[3 * p + k - 3],
                quantize_coefficient(values[i], c.scale, c.bias))
          << "S " << c.scale << " value " << values[i];
    }
    for (double value = c.low; value <= c.high; value += 0.05) {
      const int byte = quantize_coefficient(value, c.scale, c.bias);
      const double error = std::fabs(decode(byte, c.scale, c.bias) - value);
      double best = 1e9;
      for (int b = 0; b < 256; ++b)
        best = std::min(best, std::fabs(decode(b, c.scale, c.bias) - value));
      ASSERT_LE(error, half_step + 1e-9) << "S " << c.scale << " value " << value;
      ASSERT_EQ(error, best) << "S " << c.scale << " value " << value;
    }
  }
  // Beyond the range the end bytes are taken.
  EXPECT_EQ(quantize_coefficient(-1000.0, 256, 100), 0);
  EXPECT_EQ(quantize_coefficient(1000.0, 256, 100), 255);
}

// Every coefficient takes two values 20 apart, so each gets S = 256 and a
// bias that puts the smaller value at byte 0 and the larger at byte 20.
TEST(PtmFit, LrgbMapHoldsTheQuantisedFitAndRelightsInBothRepresentations) {
  float coefficients[12] = {-30, -20, 10, 40, -50, 128,  // pixel 0
                            -10, 0,   30, 60, -70, 64};  // pixel 1
  std::uint8_t color[6] = {255, 128, 0, 10, 20, 30};
  const LrgbFit fit{2, 1, coefficients, color};
  const std::int32_t scale_bias[12] = {256, 256, 256, 256, 256, 256, 30, 20, -10, -40, 70, -64};
  const std::uint8_t plane0[6] = {0, 0, 0, 20, 20, 20};
  const std::uint8_t plane1[6] = {0, 20, 64, 20, 0, 0};
  const struct {
    CoefRepresentation representation;
    std::uint8_t overhead[6];  // light (0, 0)
    std::uint8_t oblique[6];   // light (0.5, -0.5): W = 255, 255, -256, 511, -511, 1023
  } cases[] = {
      // packed: L2 = sum >> 9, channel = floor(L2 * C / 512); overhead
      // L2 = 255 and 127, oblique L2 = 315 and 237
      {CoefRepresentation::packed, {127, 63, 0, 2, 4, 7}, {156, 78, 0, 4, 9, 13}},
      // wide: L = sum >> 14, channel = (C * L) >> 8; overhead L = 128 and
      // 64, oblique L = 157 and 118
      {CoefRepresentation::wide, {127, 64, 0, 2, 5, 7}, {156, 78, 0, 4, 9, 13}},
  };
  for (const auto& c : cases) {
    Ptm* ptm = make_lrgb_ptm(fit, c.representation);
    EXPECT_EQ(ptm->format, PTM_FORMAT_LRGB);
    EXPECT_EQ(uses_packed(*ptm), c.representation == CoefRepresentation::packed);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(ptm->scale_bias[i], scale_bias[i]) << "entry " << i;
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(ptm->coef_planes[0][i], plane0[i]) << "plane 0 byte " << i;
      EXPECT_EQ(ptm->coef_planes[1][i], plane1[i]) << "plane 1 byte " << i;
    }
    const struct {
      float u, v;
      const std::uint8_t* expected;
    } views[] = {{0.0f, 0.0f, c.overhead}, {0.5f, -0.5f, c.oblique}};
    for (const auto& view : views) {
      const LightWeights weights = light_weights_for(view.u, view.v);
      std::uint8_t relit[6];
      for (int x = 0; x < 2; ++x) {
        select_evaluator (*ptm)(*ptm, weights, x, 0, relit[3 * x], relit[3 * x + 1],
                                relit[3 * x + 2]);
      }
      for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(relit[i], view.expected[i])
            << "light " << view.u << ", " << view.v << " byte " << i;
      }
    }
    free_ptm(ptm);
  }
}
