#include "analysis/normals.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/current_map.h"
#include "app/core/viewer_state.h"
#include "ptm/ptm.h"

namespace {

using Bytes = std::array<int, 3>;
using StoredPixel = std::array<std::uint8_t, 6>;

// Unit scales (256) and bias 128 for every coefficient: a stored byte b
// decodes to b - 128 display units.
constexpr std::int32_t unit_scale_bias[12] = {256, 256, 256, 256, 256, 256,
                                              128, 128, 128, 128, 128, 128};

// A map of `format` (LRGB, LUM or one of the others) whose plane pair 0
// holds `pixels` (a0..a5 stored bytes each, pixel order), with the given
// scales and biases.
Ptm* luminance_map(int format, int width, int height, const std::int32_t scale_bias[12],
                   const std::vector<StoredPixel>& pixels) {
  Ptm* ptm = create_ptm(width, height, format, CoefRepresentation::wide);
  for (int i = 0; i < 12; ++i) ptm->scale_bias[i] = scale_bias[i];
  for (std::size_t p = 0; p < pixels.size(); ++p) {
    for (int k = 0; k < 6; ++k) ptm->coef_planes[k < 3 ? 0 : 1][p * 3 + k % 3] = pixels[p][k];
  }
  return ptm;
}

// Stored bytes for coefficients given in display units under unit scales.
StoredPixel unit_pixel(std::array<int, 6> values) {
  StoredPixel out{};
  for (int k = 0; k < 6; ++k) out[k] = static_cast<std::uint8_t>(values[k] + 128);
  return out;
}

Bytes bytes_of(const std::int8_t* normal) { return {normal[0], normal[1], normal[2]}; }

// The normal of a one-pixel LRGB map computed through its stored bytes.
Bytes normal_of_pixel(const std::int32_t scale_bias[12], StoredPixel pixel) {
  Ptm* ptm = luminance_map(PTM_FORMAT_LRGB, 1, 1, scale_bias, {pixel});
  std::int8_t normal[3] = {0, 0, 0};
  compute_normal_field(*ptm, normal);
  free_ptm(ptm);
  return bytes_of(normal);
}

Bytes unit_normal(std::array<int, 6> values) {
  return normal_of_pixel(unit_scale_bias, unit_pixel(values));
}

// compute_normals works on the viewer's map and a process-wide flag; each
// test starts from "not computed" and leaves things as it found them.
class ComputeNormalsTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ptm = viewer.current_ptm;
    saved_valid = viewer.normals_valid;
    viewer.normals_valid = 0;
  }
  void TearDown() override {
    free_ptm(viewer.current_ptm);
    viewer.current_ptm = saved_ptm;
    viewer.normals_valid = saved_valid;
  }
  Ptm* saved_ptm = nullptr;
  int saved_valid = 0;
};

using ComputeNormalsDeathTest = ComputeNormalsTest;

}  // namespace

TEST(LuminanceCoefficients, DecodeEachByteWithItsScaleAndBiasIn32Bits) {
  // a_k = (b - bias_k) * scale_k / 256; bytes a0..a2 from plane 0, a3..a5
  // from plane 1.
  const std::int32_t scale_bias[12] = {256, 512, 128, 1024, 384, 256, 100, 0, 10, 128, 200, 0};
  Ptm* ptm = luminance_map(PTM_FORMAT_LRGB, 1, 1, scale_bias, {{110, 3, 14, 120, 190, 255}});
  double a[6];
  luminance_coefficients(*ptm, 0, a);
  EXPECT_EQ(std::vector<double>(a, a + 6), (std::vector<double>{10, 6, 2, -32, -15, 255}));
  free_ptm(ptm);

  // 255 * (2^31 - 1) wraps to 2^31 - 255 before the division by 256.
  const std::int32_t huge_scale[12] = {2147483647, 256, 256, 256, 256, 256, 0, 0, 0, 0, 0, 0};
  ptm = luminance_map(PTM_FORMAT_LUM, 1, 1, huge_scale, {{255, 0, 0, 0, 0, 0}});
  luminance_coefficients(*ptm, 0, a);
  EXPECT_EQ(a[0], 8388607.00390625);
  free_ptm(ptm);
}

TEST(LuminanceCoefficients, RgbMixesTheChannelsAndLuminanceFormatsUseTheirOwn) {
  // Per channel a0 = a1 = -4; red has no slope, green a3 = 4, blue a4 = -20.
  Ptm* rgb = create_ptm(1, 1, PTM_FORMAT_RGB, CoefRepresentation::wide);
  for (int i = 0; i < 12; ++i) rgb->scale_bias[i] = unit_scale_bias[i];
  const StoredPixel channels[3] = {unit_pixel({-4, -4, 0, 0, 0, 0}),
                                   unit_pixel({-4, -4, 0, 4, 0, 0}),
                                   unit_pixel({-4, -4, 0, 0, -20, 0})};
  for (int c = 0; c < 3; ++c) {
    for (int k = 0; k < 6; ++k) rgb->coef_planes[2 * c + (k < 3 ? 0 : 1)][k % 3] = channels[c][k];
  }
  double a[6];
  luminance_coefficients(*rgb, 0, a);
  EXPECT_DOUBLE_EQ(a[0], -4.0);
  EXPECT_DOUBLE_EQ(a[3], 2.36);  // 0.59 * 4
  EXPECT_DOUBLE_EQ(a[4], -2.2);  // 0.11 * -20
  // Maximum at (2.36 / 8, -2.2 / 8) = (0.295, -0.275), z = 0.9151...
  std::int8_t normal[3];
  compute_normal_field(*rgb, normal);
  EXPECT_EQ(bytes_of(normal), (Bytes{37, -34, 116}));
  free_ptm(rgb);

  // The green channel's coefficients alone, in LRGB and LUM maps: used as
  // they are, whatever the colour. Maximum at (0.5, 0), z = 0.866.
  for (int format : {PTM_FORMAT_LRGB, PTM_FORMAT_LUM}) {
    Ptm* ptm = luminance_map(format, 1, 1, unit_scale_bias, {channels[1]});
    ptm->color_planes[0][0] = 255;
    luminance_coefficients(*ptm, 0, a);
    EXPECT_EQ(a[0], -4.0);
    EXPECT_EQ(a[3], 4.0);
    compute_normal_field(*ptm, normal);
    EXPECT_EQ(bytes_of(normal), (Bytes{63, 0, 109})) << "format " << format;
    free_ptm(ptm);
  }
}

TEST(NormalOfModel, FlatPixelFacesTheViewer) {
  EXPECT_EQ(unit_normal({0, 0, 0, 0, 0, 0}), (Bytes{0, 0, 127}));
  EXPECT_EQ(unit_normal({0, 0, 0, 0, 0, 100}), (Bytes{0, 0, 127}));  // bright but flat
}

TEST(NormalOfModel, ConcaveMaximumInsideTheDiscIsTakenDirectly) {
  // -4u^2 - 4v^2 + 2u - 4v: maximum at (0.25, -0.5), z = sqrt(0.6875).
  EXPECT_EQ(unit_normal({-4, -4, 0, 2, -4, 0}), (Bytes{31, -63, 105}));
  // With a cross term: -4u^2 - 4v^2 + 2uv + 3u + 3v peaks at (0.5, 0.5).
  // The circle's brightest point would be (0.707, 0.707) instead.
  EXPECT_EQ(unit_normal({-4, -4, 2, 3, 3, 0}), (Bytes{63, 63, 89}));
}

TEST(NormalOfModel, MaximumBeyondTheDiscLandsOnTheCircle) {
  // -(u - 2)^2 - v^2 is brightest on the circle at (1, 0).
  EXPECT_EQ(unit_normal({-1, -1, 0, 4, 0, -4}), (Bytes{127, 0, 0}));
  // -(u - 2)^2 - (v - 2)^2: at (0.7071, 0.7071).
  EXPECT_EQ(unit_normal({-1, -1, 0, 4, 4, -8}), (Bytes{89, 89, 0}));
  // No maximum at all, a plane tilted to the right: (1, 0) as well.
  EXPECT_EQ(unit_normal({0, 0, 0, 8, 0, 0}), (Bytes{127, 0, 0}));
}

TEST(NormalOfModel, BrightestAtTheBottomIsFoundByTheArcSamples) {
  // L = -8v: the quartic's only root is t = 0, the top of the circle and
  // the darkest point; the 270-degree sample wins.
  EXPECT_EQ(unit_normal({0, 0, 0, 0, -8, 0}), (Bytes{0, -127, 0}));
}

TEST(NormalOfModel, MaximumBetweenArcSamplesComesFromTheQuartic) {
  // 12u - 125v is brightest at 275.48 degrees, inside the sampled arc but
  // reachable by t (t = 20.88): the root, (0.0956, -0.9954), beats the
  // 275-degree sample (0.0872, -0.9962) by 0.0045.
  EXPECT_EQ(unit_normal({0, 0, 0, 12, -125, 0}), (Bytes{12, -126, 0}));
}

TEST(NormalOfModel, ComponentsAreTruncatedNotRounded) {
  // -500u^2 - 500v^2 + 999u peaks at u = 0.999: 126.873 -> 126, and
  // z = sqrt(0.001999) = 0.0447: 5.68 -> 5.
  const std::int32_t scale_bias[12] = {500 * 256, 500 * 256, 256, 999 * 256, 256, 256,
                                       128,       128,       128, 128,       128, 128};
  EXPECT_EQ(normal_of_pixel(scale_bias, {127, 127, 128, 129, 128, 128}), (Bytes{126, 0, 5}));
}

TEST(NormalOfModel, RotationallySymmetricModelTakesTheTopOfTheCircle) {
  // 4(u^2 + v^2) has no preferred direction on the circle: Q(t) vanishes
  // and the search answers (0, 1) without looking further.
  double a[6] = {4.0, 4.0, 0.0, 0.0, 0.0, 7.0};
  double u = 0.25;
  double v = 0.25;
  EXPECT_EQ(maximize_on_unit_circle(a, u, v), 1);
  EXPECT_EQ(u, 0.0);
  EXPECT_EQ(v, 1.0);
  EXPECT_EQ(unit_normal({4, 4, 0, 0, 0, 7}), (Bytes{0, 127, 0}));
}

// -6u^2 - 6v^2 - 20uv - 19u is even in t on the circle (q = 0), and the
// resolvent's zero root comes out exactly zero: the quartic reports no
// count. The search treats that as no root: it says so and the caller
// pulls the interior stationary point (0.890625, -1.484375) onto the
// circle, (0.5145, -0.8575).
TEST(NormalOfModel, UnreportedQuarticCountClampsLikeNoRoot) {
  double a[6] = {-6.0, -6.0, -20.0, -19.0, 0.0, 0.0};
  double u = 0.890625;
  double v = -1.484375;
  testing::internal::CaptureStdout();
  EXPECT_EQ(maximize_on_unit_circle(a, u, v), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error: No roots could be found, resort to clamping\n");
  EXPECT_EQ(u, 0.890625);
  EXPECT_EQ(v, -1.484375);

  testing::internal::CaptureStdout();
  EXPECT_EQ(unit_normal({-6, -6, -20, -19, 0, 0}), (Bytes{65, -108, 0}));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error: No roots could be found, resort to clamping\n");
}

TEST(NormalOfModel, NoRootOnTheCircleClampsTheInteriorPoint) {
  // The quartic 5t^4 + 84t^2 - 33 of this model gets no root (see the
  // root finder tests); the interior point (4.3846, -5.1154) is clamped.
  testing::internal::CaptureStdout();
  EXPECT_EQ(unit_normal({-6, -6, -14, -19, 0, 0}), (Bytes{82, -96, 0}));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Can not compute any roots, help!\n"
            "Error: No roots could be found, resort to clamping\n");
  // -5(u + v)^2, a ridge: M = 0 puts the interior point at the centre,
  // which has no direction to be pulled in. (The quartic reports no count.)
  testing::internal::CaptureStdout();
  EXPECT_EQ(unit_normal({-5, -5, -10, 0, 0, 0}), (Bytes{0, 0, 127}));
  testing::internal::GetCapturedStdout();
}

TEST(NormalOfModel, NaNRootsLoseToTheArcSamples) {
  // -6u^2 - 6v^2 - 20uv - 9u: the quartic's four roots are NaN, so the
  // best arc sample is taken, at 280 degrees: (0.1736, -0.9848).
  testing::internal::CaptureStdout();
  EXPECT_EQ(unit_normal({-6, -6, -20, -9, 0, 0}), (Bytes{22, -125, 0}));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(NormalOfModel, ModelDarkerThanTheSampleFloorStillComparesWithTheArc) {
  // -8v - 5000: every value on the circle is below -1000, where the arc
  // search starts. The arc's brightest sample, 270 degrees, still wins
  // over the root t = 0 at the top.
  const std::int32_t scale_bias[12] = {256, 256, 256, 256, 8 * 256, 5000 * 256,
                                       128, 128, 128, 128, 128,     128};
  EXPECT_EQ(normal_of_pixel(scale_bias, {128, 128, 128, 128, 127, 127}), (Bytes{0, -127, 0}));
}

TEST_F(ComputeNormalsTest, FillsTheLoadedMapInPixelOrderOnce) {
  // 2 x 2: (x, y) = (0, 0), (1, 0), (0, 1), (1, 1).
  viewer.current_ptm =
      luminance_map(PTM_FORMAT_LRGB, 2, 2, unit_scale_bias,
                    {unit_pixel({-4, -4, 0, 2, -4, 0}), unit_pixel({0, 0, 0, 0, 0, 0}),
                     unit_pixel({-1, -1, 0, 4, 0, -4}), unit_pixel({0, 0, 0, 0, -8, 0})});
  testing::internal::CaptureStdout();
  compute_normals();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Computing Normals from PTM\n");
  EXPECT_EQ(viewer.normals_valid, 1);
  std::int8_t* const normals = viewer.current_ptm->normals;
  ASSERT_NE(normals, nullptr);
  const std::vector<std::int8_t> expected = {31, -63, 105, 0, 0, 127, 127, 0, 0, 0, -127, 0};
  EXPECT_EQ(std::vector<std::int8_t>(normals, normals + 12), expected);

  // A second request changes nothing and says nothing, even though the
  // coefficients have changed since.
  viewer.current_ptm->coef_planes[0][0] = 200;
  testing::internal::CaptureStdout();
  compute_normals();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(viewer.current_ptm->normals, normals);
  EXPECT_EQ(std::vector<std::int8_t>(normals, normals + 12), expected);
}

TEST_F(ComputeNormalsDeathTest, UnsupportedFormatEndsTheProgram) {
  viewer.current_ptm = create_ptm(1, 1, PTM_FORMAT_JPEG_LRGB, CoefRepresentation::wide);
  std::fflush(stdout);
  EXPECT_EXIT(
      {
        dup2(2, 1);
        compute_normals();
      },
      testing::ExitedWithCode(255),
      "Computing Normals from PTM\nUnsupported ptm format for specular effects\n");
}
