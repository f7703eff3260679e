#include "render/diffuse_gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "ptm/coefficients.h"

namespace {

// The biquadratic a0 u² + a1 v² + a2 uv + a3 u + a4 v + a5, its gradient
// and its second derivatives, in double precision, independent of the code
// under test.
double value(const float a[6], double u, double v) {
  return a[0] * u * u + a[1] * v * v + a[2] * u * v + a[3] * u + a[4] * v + a[5];
}
double slope_u(const float a[6], double u, double v) { return 2 * a[0] * u + a[2] * v + a[3]; }
double slope_v(const float a[6], double u, double v) { return 2 * a[1] * v + a[2] * u + a[4]; }

TEST(DiffuseGainCoefficients, KeepValueAndSlopeAtTheNormalAndMultiplyTheCurvature) {
  const float a[6] = {-40.5f, -25.0f, 12.0f, 30.0f, -18.0f, 140.0f};
  const int normals[][2] = {{0, 0}, {60, -30}, {-90, 80}, {127, 0}};
  for (const auto& n : normals) {
    for (const float g : {1.0f, 1.8f, 101.0f}) {
      float out[6];
      diffuse_gain_coefficients(a, out, n[0], n[1], g);
      const double nu = n[0] / 127.0;
      const double nv = n[1] / 127.0;
      const double tolerance = 1e-4 * g * 200;
      SCOPED_TRACE("normal (" + std::to_string(n[0]) + ", " + std::to_string(n[1]) + "), g " +
                   std::to_string(g));
      EXPECT_NEAR(value(out, nu, nv), value(a, nu, nv), tolerance);
      EXPECT_NEAR(slope_u(out, nu, nv), slope_u(a, nu, nv), tolerance);
      EXPECT_NEAR(slope_v(out, nu, nv), slope_v(a, nu, nv), tolerance);
      EXPECT_FLOAT_EQ(out[0], g * a[0]);
      EXPECT_FLOAT_EQ(out[1], g * a[1]);
      EXPECT_FLOAT_EQ(out[2], g * a[2]);
    }
  }
}

TEST(DiffuseGainCoefficients, ANormalFacingTheViewerOnlyScalesTheQuadraticTerms) {
  const float a[6] = {10, -20, 30, 40, 50, 60};
  float out[6];
  diffuse_gain_coefficients(a, out, 0, 0, 1.8f);
  const float expected[6] = {18, -36, 54, 40, 50, 60};
  for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(out[k], expected[k]) << k;
}

TEST(ComputeScaleBias, CoversTheRangeIn255StepsAndSurvivesAConstantCoefficient) {
  const float min[6] = {-510, 0, -1000, 7, 100, -0.5f};
  const float max[6] = {510, 255, 20, 7, 101, 0.5f};
  std::int32_t scale_bias[12];
  compute_scale_bias(min, max, scale_bias);
  // ceil(1020/255) = 4, 510/4 = 127.5; ceil(255/255) = 1; ceil(1020/255) =
  // 4, 1000/4 = 250; constant: 0 and 0; ceil(1/255) = 1, -100; ceil(1/255)
  // = 1, trunc(0.5) = 0.
  const std::int32_t expected[12] = {4, 1, 4, 0, 1, 1, 127, 0, 250, 0, -100, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(scale_bias[i], expected[i]) << i;
}

TEST(ComputeScaleBias, AScaleTooLargeForAByteFileIsReportedAndKept) {
  const float min[6] = {0, 0, 0, 0, 0, 0};
  const float max[6] = {255.0f * 256 * 300, 255, 255, 255, 255, 255};
  std::int32_t scale_bias[12];
  testing::internal::CaptureStdout();
  compute_scale_bias(min, max, scale_bias);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "That's an illegal scale value: 300\n");
  EXPECT_EQ(scale_bias[0], 256 * 300);
}

// A map of random stored bytes with scale 2 (x 256) and bias 100 for every
// coefficient, random colour and random normals.
Ptm* random_map(int format, CoefRepresentation representation, int width = 16, int height = 8) {
  Ptm* ptm = create_ptm(width, height, format, representation);
  std::mt19937 random(11);
  const std::size_t pixels = pixel_count(*ptm);
  const int planes = format == PTM_FORMAT_RGB ? 6 : 2;
  for (int p = 0; p < planes; ++p) {
    for (std::size_t i = 0; i < pixels * 3; ++i) ptm->coef_planes[p][i] = random() & 0xff;
  }
  for (int k = 0; k < 6; ++k) {
    ptm->scale_bias[k] = 512;
    ptm->scale_bias[k + 6] = 100;
  }
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random()),
                                 static_cast<std::uint8_t>(random())};
    if (format == PTM_FORMAT_LRGB) set_lrgb_color(*ptm, i, rgb);
    if (format == PTM_FORMAT_LUM) {
      ptm->color_planes[0][i] = rgb[0];
      ptm->color_planes[2][i] = rgb[2];
    }
  }
  ptm->normals = new std::int8_t[pixels * 3];
  for (std::size_t i = 0; i < pixels * 3; ++i)
    ptm->normals[i] = static_cast<std::int8_t>(random() % 181 - 90);
  convert_all_coefficients(*ptm);
  return ptm;
}

void release(Ptm* ptm) {
  delete[] ptm->normals;
  ptm->normals = nullptr;
  free_ptm(ptm);
}

struct TransformCase {
  const char* name;
  int format;
  CoefRepresentation representation;
};

class DiffuseGainTransformTest : public testing::TestWithParam<TransformCase> {};

// Coefficient k of set `set` of pixel p, in display units times 16 (the
// wide form of a0..a4) or times 16384 (a5), whatever the representation.
std::int64_t coefficient(const Ptm& ptm, std::size_t p, int set, int k) {
  const std::int64_t wide_factor = k == 5 ? 16384 : 16;
  if (ptm.packed_lrgb != nullptr) return ptm.packed_lrgb[p].coef[k] * wide_factor;
  if (ptm.packed_rgb != nullptr) {
    return ptm.packed_rgb[p * packed_rgb_values_per_pixel + 8 * set + k] * wide_factor;
  }
  const std::int32_t* wide =
      ptm.format == PTM_FORMAT_RGB ? ptm.coef_int[set] + p * 6 : ptm.lum_coef_int + p * 6;
  return wide[k];
}

TEST_P(DiffuseGainTransformTest, GainOneReproducesTheStoredCoefficientsAndColour) {
  const TransformCase& c = GetParam();
  Ptm* source = random_map(c.format, c.representation);
  Ptm* shown = create_derived_ptm_shared(*source);
  diffuse_gain_transform(*source, *shown, 1.0f);
  const int sets = c.format == PTM_FORMAT_RGB ? 3 : 1;
  for (std::size_t p = 0; p < pixel_count(*source); ++p) {
    for (int set = 0; set < sets; ++set) {
      for (int k = 0; k < 6; ++k) {
        // The source truncates to display units before widening, the
        // rewrite after: they differ by less than one display unit.
        const std::int64_t unit = k == 5 ? 16384 : 16;
        ASSERT_LT(std::llabs(coefficient(*shown, p, set, k) - coefficient(*source, p, set, k)),
                  unit)
            << c.name << " pixel " << p << " set " << set << " a" << k;
      }
    }
    if (c.format == PTM_FORMAT_LRGB) {
      std::uint8_t original[3];
      std::uint8_t copy[3];
      get_lrgb_color(*source, p, original);
      get_lrgb_color(*shown, p, copy);
      ASSERT_EQ(std::string(copy, copy + 3), std::string(original, original + 3)) << p;
    }
  }
  free_derived_ptm_shared(shown);
  release(source);
}

TEST_P(DiffuseGainTransformTest, StartsFromTheStoredBytesSoGainsDoNotAccumulate) {
  const TransformCase& c = GetParam();
  Ptm* source = random_map(c.format, c.representation);
  Ptm* once = create_derived_ptm(*source);
  Ptm* twice = create_derived_ptm(*source);
  diffuse_gain_transform(*source, *once, 1.8f);
  diffuse_gain_transform(*source, *twice, 5.0f);
  diffuse_gain_transform(*source, *twice, 1.8f);
  const int sets = c.format == PTM_FORMAT_RGB ? 3 : 1;
  for (std::size_t p = 0; p < pixel_count(*source); ++p) {
    for (int set = 0; set < sets; ++set) {
      for (int k = 0; k < 6; ++k) {
        ASSERT_EQ(coefficient(*twice, p, set, k), coefficient(*once, p, set, k)) << c.name;
      }
    }
  }
  for (int i = 0; i < 12; ++i) EXPECT_EQ(twice->scale_bias[i], once->scale_bias[i]);
  free_derived_ptm(once);
  free_derived_ptm(twice);
  release(source);
}

TEST_P(DiffuseGainTransformTest, EveryPixelIsTheRewriteOfItsOwnBytesAndNormal) {
  // 13 x 3 pixels: not a whole number of the blocks the transform works in.
  const TransformCase& c = GetParam();
  Ptm* source = random_map(c.format, c.representation, 13, 3);
  Ptm* shown = create_derived_ptm(*source);
  const float gain = 2.5f;
  diffuse_gain_transform(*source, *shown, gain);
  const int sets = c.format == PTM_FORMAT_RGB ? 3 : 1;
  const bool packed = c.representation == CoefRepresentation::packed;
  for (std::size_t p = 0; p < pixel_count(*source); ++p) {
    for (int set = 0; set < sets; ++set) {
      const std::uint8_t* low = source->coef_planes[2 * set] + p * 3;
      const std::uint8_t* high = source->coef_planes[2 * set + 1] + p * 3;
      const std::uint8_t bytes[6] = {low[0], low[1], low[2], high[0], high[1], high[2]};
      float a[6];
      for (int k = 0; k < 6; ++k) a[k] = static_cast<float>((bytes[k] - 100) * 512);
      float out[6];
      diffuse_gain_coefficients(a, out, source->normals[p * 3], source->normals[p * 3 + 1], gain);
      for (int k = 0; k < 6; ++k) {
        // In display units times 16 (a0..a4) or 16384 (a5), as coefficient()
        // reports them.
        const std::int64_t expected =
            packed ? static_cast<std::int64_t>(out[k] / 256) * (k == 5 ? 16384 : 16)
                   : (k == 5 ? static_cast<std::int64_t>(64 * out[k])
                             : static_cast<std::int64_t>(out[k] / 16));
        ASSERT_EQ(coefficient(*shown, p, set, k), expected)
            << c.name << " pixel " << p << " set " << set << " a" << k;
      }
    }
  }
  free_derived_ptm(shown);
  release(source);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DiffuseGainTransformTest,
    testing::Values(TransformCase{"packed_lrgb", PTM_FORMAT_LRGB, CoefRepresentation::packed},
                    TransformCase{"wide_lrgb", PTM_FORMAT_LRGB, CoefRepresentation::wide},
                    TransformCase{"packed_rgb", PTM_FORMAT_RGB, CoefRepresentation::packed},
                    TransformCase{"wide_rgb", PTM_FORMAT_RGB, CoefRepresentation::wide},
                    TransformCase{"lum", PTM_FORMAT_LUM, CoefRepresentation::wide}),
    [](const testing::TestParamInfo<TransformCase>& info) { return info.param.name; });

TEST(DiffuseGainTransform,
     WritesItsRangeAsScaleAndBiasAndAPixelFacingTheViewerKeepsItsLinearTerms) {
  // Two pixels: a0..a5 = (b - 100) * 2 display units from bytes
  // (110, 90, 100, 120, 80, 200) and (100, 100, 100, 100, 100, 100); both
  // face the viewer. With g = 3: a0..a2 triple, a3..a5 stay.
  Ptm* source = create_ptm(2, 1, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  const std::uint8_t bytes[2][6] = {{110, 90, 100, 120, 80, 200}, {100, 100, 100, 100, 100, 100}};
  for (int p = 0; p < 2; ++p)
    store_stored_bytes(source->coef_planes[0], source->coef_planes[1], p, bytes[p]);
  for (int k = 0; k < 6; ++k) {
    source->scale_bias[k] = 512;
    source->scale_bias[k + 6] = 100;
  }
  std::int8_t normals[6] = {0, 0, 127, 0, 0, 127};
  source->normals = normals;
  Ptm* shown = create_derived_ptm(*source);
  diffuse_gain_transform(*source, *shown, 3.0f);
  // Display units: pixel 0 (60, -60, 0, 40, -40, 200), pixel 1 all 0.
  const std::int32_t expected[2][6] = {{60 * 16, -60 * 16, 0, 40 * 16, -40 * 16, 200 * 16384},
                                       {0, 0, 0, 0, 0, 0}};
  for (int p = 0; p < 2; ++p) {
    for (int k = 0; k < 6; ++k) EXPECT_EQ(shown->lum_coef_int[p * 6 + k], expected[p][k]) << p << k;
  }
  // Ranges (x 256): a0 0..15360, a1 -15360..0, a2 0..0, a3 0..10240,
  // a4 -10240..0, a5 0..51200.
  const std::int32_t scale_bias[12] = {61, 61, 0, 41, 41, 201, 0, 251, 0, 0, 249, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(shown->scale_bias[i], scale_bias[i]) << i;
  source->normals = nullptr;
  free_derived_ptm(shown);
  free_ptm(source);
}

TEST(DiffuseGainTransform, ValuesBeyondTheIntegerFormSaturateWithTheirSign) {
  // Scale 255 x 256 and the largest gain: a0 = ±(255 * 255) display units
  // times 101 leaves int16 far behind.
  Ptm* source = create_ptm(2, 1, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  const std::uint8_t bytes[2][6] = {{255, 0, 128, 128, 128, 128}, {0, 255, 128, 128, 128, 128}};
  for (int p = 0; p < 2; ++p)
    store_stored_bytes(source->coef_planes[0], source->coef_planes[1], p, bytes[p]);
  for (int k = 0; k < 6; ++k) {
    source->scale_bias[k] = 255 * 256;
    source->scale_bias[k + 6] = 128;
  }
  const std::uint8_t grey[3] = {128, 128, 128};
  set_lrgb_color(*source, 0, grey);
  set_lrgb_color(*source, 1, grey);
  Ptm* shown = create_derived_ptm(*source);
  diffuse_gain_transform(*source, *shown, 101.0f);
  EXPECT_EQ(shown->packed_lrgb[0].coef[0], 32767);
  EXPECT_EQ(shown->packed_lrgb[0].coef[1], -32768);
  EXPECT_EQ(shown->packed_lrgb[1].coef[0], -32768);
  EXPECT_EQ(shown->packed_lrgb[1].coef[1], 32767);
  free_derived_ptm(shown);
  free_ptm(source);
}

}  // namespace
