#include "render/render_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "ptm/coefficients.h"
#include "render/evaluate.h"
#include "render/specular.h"

namespace {

// A wide LRGB map whose pixel (x, y) has only a5 = 10 x + 100 y + 5 and a3
// = 50 (so the light's u shows), and colour (255, 255, 255) or a normal.
Ptm* ramp_map(int width, int height) {
  Ptm* ptm = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t p = static_cast<std::size_t>(y) * width + x;
      std::int32_t* a = ptm->lum_coef_int + p * 6;
      a[0] = a[1] = a[2] = a[4] = 0;
      a[3] = 50 * 16;
      a[5] = (10 * x + 100 * y + 5) * 16384;
      const std::uint8_t white[3] = {255, 255, 255};
      set_lrgb_color(*ptm, p, white);
    }
  }
  return ptm;
}

using Rgb = std::array<int, 3>;

Rgb pixel(const RgbImage& image, int x, int y) {
  const std::uint8_t* p = image.pixels + (static_cast<std::size_t>(y) * image.width + x) * 3;
  return {p[0], p[1], p[2]};
}

RenderMode mode_with(Enhancement enhancement) {
  RenderMode mode;
  mode.enhancement = enhancement;
  return mode;
}

TEST(RenderImage, OutputPixelsComeFromTheRectangleAtTheCorner) {
  Ptm* ptm = ramp_map(12, 4);
  RgbImage* out = new_rgb_image(3, 2);
  render_ptm_image(*out, *ptm, RenderMode{}, 0, 0, 7, 1);
  // Map pixel (7 + x, 1 + y) has luminance 10 (7 + x) + 100 (1 + y) + 5.
  EXPECT_EQ(pixel(*out, 0, 0), (Rgb{174, 174, 174}));  // 175 * 255 >> 8
  EXPECT_EQ(pixel(*out, 2, 1), (Rgb{255, 255, 255}));  // 295 saturates
  EXPECT_EQ(pixel(*out, 1, 0)[0], (185 * 255) >> 8);
  free_rgb_image(out);
  free_ptm(ptm);
}

TEST(RenderImage, TextureComparisonShowsTheLowerHalfHeadOnAndDimmed) {
  Ptm* ptm = ramp_map(2, 5);
  RgbImage* out = new_rgb_image(2, 5);
  const RenderMode texture = mode_with(Enhancement::texture_comparison);
  render_ptm_image(*out, *ptm, texture, 0.6f, 0.0f, 0, 0);
  // Rows 2..4 relit: L = 50 * 0.6 + a5 (weights U = 614); rows 0..1 lit
  // head-on and scaled by k = trunc(256 * 0.8) = 204.
  const int relit = ((50 * 16 * 614 + 205 * 16384) >> 14) * 255 >> 8;
  EXPECT_EQ(pixel(*out, 0, 2)[0], relit);
  EXPECT_EQ(pixel(*out, 0, 1)[0], (204 * ((105 * 255) >> 8)) >> 8);
  EXPECT_EQ(pixel(*out, 1, 0)[0], (204 * ((15 * 255) >> 8)) >> 8);

  // Beyond the unit circle the lower half is black.
  render_ptm_image(*out, *ptm, texture, 1.0f, 0.5f, 0, 0);
  EXPECT_EQ(pixel(*out, 1, 1), (Rgb{0, 0, 0}));
  EXPECT_NE(pixel(*out, 1, 3), (Rgb{0, 0, 0}));
  free_rgb_image(out);
  free_ptm(ptm);
}

TEST(RenderImage, TextureHalfMatchesTheHeadOnEvaluatorInEveryRepresentation) {
  for (const auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    const int width = 37;  // vector blocks and a remainder
    Ptm* ptm = create_ptm(width, 4, PTM_FORMAT_LRGB, representation);
    for (int p = 0; p < width * 4; ++p) {
      const std::uint8_t six[6] = {
          static_cast<std::uint8_t>(p * 7),  static_cast<std::uint8_t>(p * 13), 40, 200, 90,
          static_cast<std::uint8_t>(100 + p)};
      store_stored_bytes(ptm->coef_planes[0], ptm->coef_planes[1], p, six);
      const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(p), 200, 77};
      set_lrgb_color(*ptm, p, rgb);
    }
    for (int k = 0; k < 6; ++k) {
      ptm->scale_bias[k] = 256;
      ptm->scale_bias[k + 6] = k == 5 ? 0 : 128;
    }
    convert_all_coefficients(*ptm);
    RgbImage* out = new_rgb_image(width, 4);
    render_ptm_image(*out, *ptm, mode_with(Enhancement::texture_comparison), 0.3f, 0.4f, 0, 0);
    const int k = static_cast<int>(256 * std::sqrt(1 - 0.25f));
    const LightWeights head_on = light_weights_for(0, 0);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < width; ++x) {
        std::uint8_t r, g, b;
        evaluate_texture_mapped(*ptm, head_on, x, y, k, r, g, b);
        ASSERT_EQ(pixel(*out, x, y), (Rgb{r, g, b})) << x << ", " << y;
      }
    }
    free_rgb_image(out);
    free_ptm(ptm);
  }
}

TEST(RenderImage, SpecularPassAddsTheHighlightOfEachPixelsNormal) {
  Ptm* ptm = ramp_map(2, 1);
  ptm->normals = new std::int8_t[6]{0, 0, 127, 0, 0, 0};  // facing the viewer; no normal
  RgbImage* out = new_rgb_image(2, 1);
  render_ptm_image(*out, *ptm, mode_with(Enhancement::specular), 0, 0, 0, 0);
  // Head-on light: H = (0, 0, 1); the first pixel's normal lies along it,
  // so t = 1 and every channel is 0.4 c + 255, clamped to 255. The second
  // has no normal: only 0.4 c, rounded to nearest.
  EXPECT_EQ(pixel(*out, 0, 0), (Rgb{255, 255, 255}));
  const int c = (15 * 255) >> 8;
  EXPECT_EQ(pixel(*out, 1, 0)[1], static_cast<int>(std::lrintf(c * 0.4f)));
  delete[] ptm->normals;
  ptm->normals = nullptr;
  free_rgb_image(out);
  free_ptm(ptm);
}

TEST(RenderImage, SpecularPassOverAWholeImageMatchesThePixelByPixelHighlight) {
  // Far more distinct normals than the pass remembers at once, repeated in
  // runs and scattered, with the light off the view axis.
  const int width = 256;
  const int height = 96;
  Ptm* ptm = ramp_map(width, height);
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  ptm->normals = new std::int8_t[pixels * 3];
  std::uint32_t state = 12345;
  for (std::size_t p = 0; p < pixels; ++p) {
    if (p % 7 != 0) {
      std::copy(ptm->normals + (p - 1) * 3, ptm->normals + p * 3, ptm->normals + p * 3);
      continue;
    }
    for (int c = 0; c < 3; ++c) {
      state = state * 1103515245u + 12345u;
      ptm->normals[p * 3 + c] = static_cast<std::int8_t>((state >> 16) % 255 - 127);
    }
  }
  RgbImage* out = new_rgb_image(width - 3, height - 2);
  const RenderMode specular = mode_with(Enhancement::specular);
  render_ptm_image(*out, *ptm, specular, 0.3f, -0.2f, 3, 2);
  RgbImage* expected = new_rgb_image(width - 3, height - 2);
  render_ptm_image(*expected, *ptm, RenderMode{}, 0.3f, -0.2f, 3, 2);
  const HalfVector half = specular_half_vector(0.3f, -0.2f);
  for (int y = 0; y < expected->height; ++y) {
    for (int x = 0; x < expected->width; ++x) {
      std::uint8_t* e = expected->pixels + (static_cast<std::size_t>(y) * expected->width + x) * 3;
      apply_specular(*ptm, specular.specular, half, 3 + x, 2 + y, e[0], e[1], e[2]);
      ASSERT_EQ(pixel(*out, x, y), pixel(*expected, x, y)) << x << ", " << y;
    }
  }
  delete[] ptm->normals;
  ptm->normals = nullptr;
  free_rgb_image(out);
  free_rgb_image(expected);
  free_ptm(ptm);
}

TEST(SpecularHalfVector, ThreePiecesMeetContinuously) {
  EXPECT_DOUBLE_EQ(specular_half_vector(0, 0).z, 1.0);
  // r = 1.5: H = (u, v, 0.5) normalised.
  const HalfVector beyond = specular_half_vector(1.5f, 0);
  EXPECT_NEAR(beyond.x, 1.5 / std::sqrt(2.5), 1e-12);
  EXPECT_NEAR(beyond.z, 0.5 / std::sqrt(2.5), 1e-12);
  for (const float r : {1.0f, 2.0f}) {
    const HalfVector inside = specular_half_vector(r - 1e-4f, 0);
    const HalfVector outside = specular_half_vector(r + 1e-4f, 0);
    EXPECT_NEAR(outside.x, inside.x, 1e-2) << r;
    EXPECT_NEAR(outside.z, inside.z, 1e-2) << r;
  }
  const HalfVector far = specular_half_vector(0, -3);
  EXPECT_DOUBLE_EQ(far.y, -1.0);
  EXPECT_DOUBLE_EQ(far.z, 0.0);
}

TEST(ApplySpecular, ExponentZeroLightsEveryPixelFacingTheLight) {
  Ptm* ptm = create_ptm(1, 1, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  std::int8_t normal[3] = {90, 0, 90};  // 45 degrees off the view direction
  ptm->normals = normal;
  const HalfVector head_on = specular_half_vector(0, 0);
  std::uint8_t r = 100, g = 0, b = 255;
  SpecularSettings flat;
  flat.exponent = 0;
  apply_specular(*ptm, flat, head_on, 0, 0, r, g, b);
  EXPECT_EQ(r, 255);
  // Exponent 60 at cos 45 degrees: the highlight vanishes, 0.4 c remains.
  r = 100;
  g = 0;
  b = 255;
  apply_specular(*ptm, SpecularSettings{}, head_on, 0, 0, r, g, b);
  EXPECT_EQ(r, 40);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 102);
  ptm->normals = nullptr;
  free_ptm(ptm);
}

}  // namespace
