#include "render/evaluate.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using Rgb = std::array<int, 3>;

Rgb evaluate(EvaluatePtmFn fn, const Ptm& ptm, const LightWeights& weights) {
  std::uint8_t r = 0, g = 0, b = 0;
  fn(ptm, weights, 0, 0, r, g, b);
  return {r, g, b};
}

std::vector<std::int16_t> weights(float u, float v) {
  const LightWeights w = light_weights_for(u, v);
  return {w.w, w.w + 6};
}

TEST(LightWeights, TenBitFractionsOfTheLightDirection) {
  EXPECT_EQ(weights(0, 0), (std::vector<std::int16_t>{0, 0, 0, 0, 0, 1023}));
  EXPECT_EQ(weights(1, 0), (std::vector<std::int16_t>{1022, 0, 0, 1023, 0, 1023}));
  EXPECT_EQ(weights(-1, 0)[3], -1023);
  // W2 = floor(-511 * 511 / 1024) rounds toward minus infinity.
  EXPECT_EQ(weights(0.5f, -0.5f), (std::vector<std::int16_t>{255, 255, -256, 511, -511, 1023}));
}

// One-pixel maps with coefficients given in display units.
Ptm* packed_rgb_pixel(std::array<std::int16_t, 6> red) {
  Ptm* ptm = create_ptm(1, 1, PTM_FORMAT_RGB, CoefRepresentation::packed);
  for (int c = 0; c < 3; ++c) {
    for (int k = 0; k < 8; ++k) ptm->packed_rgb[8 * c + k] = k < 6 ? red[k] : 0;
  }
  return ptm;
}

Ptm* wide_rgb_pixel(std::array<std::int32_t, 6> units) {
  Ptm* ptm = create_ptm(1, 1, PTM_FORMAT_RGB, CoefRepresentation::wide);
  for (int c = 0; c < 3; ++c) {
    for (int k = 0; k < 6; ++k) ptm->coef_int[c][k] = units[k] * (k == 5 ? 16384 : 16);
  }
  return ptm;
}

TEST(Evaluators, HeadOnLightWeighsTheConstantTermBy1023) {
  const LightWeights w = light_weights_for(0, 0);
  Ptm* packed = packed_rgb_pixel({0, 0, 0, 0, 0, 255});
  Ptm* wide = wide_rgb_pixel({0, 0, 0, 0, 0, 255});
  EXPECT_EQ(evaluate(evaluate_rgb_packed, *packed, w), (Rgb{254, 254, 254}));
  EXPECT_EQ(evaluate(evaluate_ptm, *wide, w), (Rgb{255, 255, 255}));
  free_ptm(packed);
  free_ptm(wide);
}

TEST(Evaluators, NegativeSumsGiveBlackAndLargeOnesSaturate) {
  const LightWeights w = light_weights_for(1, 0);
  Ptm* dark = packed_rgb_pixel({0, 0, 0, -300, 0, 10});
  Ptm* bright = wide_rgb_pixel({400, 0, 0, 400, 0, 0});
  EXPECT_EQ(evaluate(evaluate_rgb_packed, *dark, w), (Rgb{0, 0, 0}));
  EXPECT_EQ(evaluate(evaluate_ptm, *bright, w), (Rgb{255, 255, 255}));
  free_ptm(dark);
  free_ptm(bright);
}

TEST(Evaluators, LrgbPackedKeepsOneMoreBitOfLuminanceThanWide) {
  const LightWeights w = light_weights_for(0, 0);
  Ptm* packed = create_ptm(1, 1, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  packed->packed_lrgb[0] = PackedLrgbTexel{{0, 0, 0, 0, 0, 128}, 255, 128, 0, 0};
  EXPECT_EQ(evaluate(evaluate_lrgb_packed, *packed, w), (Rgb{127, 63, 0}));

  Ptm* wide = create_ptm(1, 1, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  for (int k = 0; k < 5; ++k) wide->lum_coef_int[k] = 0;
  wide->lum_coef_int[5] = 128 * 16384;
  const std::uint8_t colour[3] = {255, 128, 0};
  set_lrgb_color(*wide, 0, colour);
  EXPECT_EQ(evaluate(evaluate_ptm, *wide, w), (Rgb{127, 64, 0}));

  // No upper clamp on L: 300 brightens red 200 to 234 and saturates 255.
  wide->lum_coef_int[5] = 300 * 16384;
  const std::uint8_t brighter[3] = {200, 255, 1};
  set_lrgb_color(*wide, 0, brighter);
  EXPECT_EQ(evaluate(evaluate_ptm, *wide, w), (Rgb{234, 255, 1}));
  free_ptm(packed);
  free_ptm(wide);
}

TEST(Evaluators, LumMatrixMixesChromaAndLuminance) {
  const LightWeights w = light_weights_for(0, 0);
  Ptm* lum = create_ptm(1, 1, PTM_FORMAT_LUM, CoefRepresentation::wide);
  for (int k = 0; k < 5; ++k) lum->lum_coef_int[k] = 0;
  lum->lum_coef_int[5] = 90 * 16384;
  lum->color_planes[0][0] = 30;
  lum->color_planes[2][0] = 200;
  const float matrix[16] = {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
  std::copy(matrix, matrix + 16, lum->color_matrix);
  EXPECT_EQ(evaluate(evaluate_ptm, *lum, w), (Rgb{90, 200, 30}));  // R = Y, G = P2, B = P0
  free_ptm(lum);
}

TEST(SelectEvaluator, ByFormatAndRepresentation) {
  Ptm* packed = create_ptm(1, 1, PTM_FORMAT_LRGB, CoefRepresentation::packed);
  EXPECT_EQ(select_evaluator(*packed), &evaluate_lrgb_packed);
  Ptm* wide = create_ptm(1, 1, PTM_FORMAT_RGB, CoefRepresentation::wide);
  EXPECT_EQ(select_evaluator(*wide), &evaluate_ptm);
  Ptm* rgb = create_ptm(1, 1, PTM_FORMAT_RGB, CoefRepresentation::packed);
  EXPECT_EQ(select_evaluator(*rgb), &evaluate_rgb_packed);
  rgb->format = PTM_FORMAT_JPEG_RGB;
  EXPECT_EXIT((void)select_evaluator(*rgb), testing::ExitedWithCode(255), "");
  free_ptm(packed);
  free_ptm(wide);
  free_ptm(rgb);
}

}  // namespace
