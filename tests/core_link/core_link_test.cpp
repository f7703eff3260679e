// The core on its own: a picture with two lights and specular enhancement,
// and two pictures of one map made at the same time.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ptm/coefficients.h"
#include "ptm/ptm.h"
#include "render/relit_picture.h"

namespace {

std::vector<int> bytes_of(const RgbImage& image) {
  return std::vector<int>(image.pixels,
                          image.pixels + static_cast<std::size_t>(image.width) * image.height * 3);
}

// Two wide LRGB pixels. Pixel 0: a5 = 128 alone, colour (200, 100, 50), its
// normal facing the viewer. Pixel 1: a3 = 100 and a5 = 100, white, no
// normal (no highlight).
Ptm* two_pixel_map() {
  Ptm* ptm = create_ptm(2, 1, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  const std::int32_t coefficients[2][6] = {{0, 0, 0, 0, 0, 128 * 16384},
                                           {0, 0, 0, 100 * 16, 0, 100 * 16384}};
  const std::uint8_t colours[2][3] = {{200, 100, 50}, {255, 255, 255}};
  for (int p = 0; p < 2; ++p) {
    for (int k = 0; k < 6; ++k) ptm->lum_coef_int[6 * p + k] = coefficients[p][k];
    set_lrgb_color(*ptm, p, colours[p]);
  }
  ptm->normals = new std::int8_t[6]{0, 0, 127, 0, 0, 0};
  return ptm;
}

TEST(CoreLink, TwoLightsWithSpecularEnhancementAddUpPixelByPixel) {
  Ptm* ptm = two_pixel_map();
  RelitSettings settings;
  settings.mode = RelitMode::specular;
  settings.kd = 0.5f;
  settings.ks = 0.2f;
  settings.exponent = 10;
  settings.lights = {{0, 0, 1}, {0.6f, 0, 0.5f}};
  RgbImage* picture = render_relit_picture(*ptm, settings);
  ASSERT_NE(picture, nullptr);
  // Pixel 0 shows (200, 100, 50) * 128 / 256 = (100, 50, 25) under any
  // light. Head-on, H = (0, 0, 1) is its normal: highlight 0.2 * 255 = 51,
  // channels 0.5 c + 51 rounded to even: 101, 76, 64. At (0.6, 0), H =
  // (0.6, 0, 1.8) / sqrt(3.6), whose z squared is 0.9: highlight
  // 0.9^5 * 51 = 30.115, channels 80, 55, 43, added at half intensity:
  // trunc(80 / 2 + 101) = 141, trunc(55 / 2 + 76) = 103, trunc(43 / 2 + 64) = 85.
  // Pixel 1: L = 100 head-on, and (1600 * 614 + 100 * 16384) >> 14 = 159 at
  // u = 0.6 (W3 = 614); white gives 99 and 158, halved by Kd to 50 (49.5
  // to even) and 79; trunc(79 / 2 + 50) = 89.
  EXPECT_EQ(bytes_of(*picture), (std::vector<int>{141, 103, 85, 89, 89, 89}));
  free_rgb_image(picture);
  delete[] ptm->normals;
  ptm->normals = nullptr;
  free_ptm(ptm);
}

// A map with varied coefficients and no normals, so that every specular
// picture computes them for itself.
Ptm* varied_map(int side) {
  Ptm* ptm = create_ptm(side, side, PTM_FORMAT_LRGB, preferred_representation());
  for (int p = 0; p < side * side; ++p) {
    const std::uint8_t six[6] = {
        static_cast<std::uint8_t>(60 + p % 71), static_cast<std::uint8_t>(90 + p % 53),
        static_cast<std::uint8_t>(p * 7),       static_cast<std::uint8_t>(p * 13),
        static_cast<std::uint8_t>(p * 3),       static_cast<std::uint8_t>(100 + p % 97)};
    store_stored_bytes(ptm->coef_planes[0], ptm->coef_planes[1], p, six);
    const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(p), 180, 90};
    set_lrgb_color(*ptm, p, rgb);
  }
  for (int k = 0; k < 6; ++k) {
    ptm->scale_bias[k] = 256;
    ptm->scale_bias[k + 6] = k == 5 ? 0 : 128;
  }
  convert_all_coefficients(*ptm);
  return ptm;
}

TEST(CoreLink, PicturesMadeAtTheSameTimeAreThePicturesMadeOneByOne) {
  Ptm* ptm = varied_map(48);
  RelitSettings shiny = default_relit_settings();
  shiny.mode = RelitMode::specular;
  shiny.lights = {{-0.5f, 0.4f, 1}, {0.7f, 0.1f, 0.8f}};
  RelitSettings dimmed = default_relit_settings();
  dimmed.mode = RelitMode::texture;
  dimmed.lights = {{0.3f, -0.6f, 1.5f}};
  auto picture = [&](const RelitSettings& settings) {
    RgbImage* image = render_relit_picture(*ptm, settings);
    std::vector<int> bytes = bytes_of(*image);
    free_rgb_image(image);
    return bytes;
  };
  const std::vector<int> shiny_alone = picture(shiny);
  const std::vector<int> dimmed_alone = picture(dimmed);
  ASSERT_NE(shiny_alone, dimmed_alone);
  for (int round = 0; round < 10; ++round) {
    std::vector<int> shiny_together;
    std::vector<int> dimmed_together;
    std::thread other([&] { dimmed_together = picture(dimmed); });
    shiny_together = picture(shiny);
    other.join();
    ASSERT_EQ(shiny_together, shiny_alone) << round;
    ASSERT_EQ(dimmed_together, dimmed_alone) << round;
  }
  EXPECT_EQ(ptm->normals, nullptr);  // the caller's map is left as it was
  free_ptm(ptm);
}

}  // namespace
