#include "analysis/map_refit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>

#include "ptm/coefficients.h"
#include "render/evaluate.h"

namespace {

constexpr int width = 37;
constexpr int height = 21;

// Scale 1, bias 128: a stored byte b decodes to b - 128.
void set_unit_scale(Ptm& ptm) {
  for (int k = 0; k < 6; ++k) {
    ptm.scale_bias[k] = 256;
    ptm.scale_bias[6 + k] = 128;
  }
}

// Luminance-like coefficients m0..m5 of one pixel: a bright constant term
// and small slopes and curvatures, so that every light of the disc keeps
// the pixel within 0..255 once multiplied by 5.
void draw_terms(std::mt19937& random, int m[6]) {
  for (int k = 0; k < 5; ++k) m[k] = static_cast<int>(random() % 9) - 4;
  m[5] = 8 + static_cast<int>(random() % 17);
}

// An RGB map whose channels are the multiples 5, 3 and 1 of one
// polynomial: exactly what an LRGB pixel of colour (255, 153, 51) holds.
Ptm* proportional_rgb_map() {
  Ptm* ptm = create_ptm(width, height, PTM_FORMAT_RGB, preferred_representation());
  set_unit_scale(*ptm);
  std::mt19937 random(11);
  const int multiple[3] = {5, 3, 1};
  for (std::size_t p = 0; p < pixel_count(*ptm); ++p) {
    int m[6];
    draw_terms(random, m);
    for (int c = 0; c < 3; ++c) {
      std::uint8_t six[6];
      for (int k = 0; k < 6; ++k) six[k] = static_cast<std::uint8_t>(128 + multiple[c] * m[k]);
      store_stored_bytes(ptm->coef_planes[2 * c], ptm->coef_planes[2 * c + 1], p, six);
    }
  }
  convert_all_coefficients(*ptm);
  return ptm;
}

// A LUM map with the identity colour matrix: red is the first chroma byte,
// green the luminance, blue the second chroma byte, which an RGB map holds
// exactly (two constant channels and one polynomial).
Ptm* identity_lum_map() {
  Ptm* ptm = create_ptm(width, height, PTM_FORMAT_LUM, CoefRepresentation::wide);
  set_unit_scale(*ptm);
  for (int i = 0; i < 16; ++i) ptm->color_matrix[i] = i % 5 == 0 ? 1.0f : 0.0f;
  std::mt19937 random(12);
  for (std::size_t p = 0; p < pixel_count(*ptm); ++p) {
    int m[6];
    draw_terms(random, m);
    std::uint8_t six[6];
    for (int k = 0; k < 6; ++k) six[k] = static_cast<std::uint8_t>(128 + 5 * m[k]);
    store_stored_bytes(ptm->coef_planes[0], ptm->coef_planes[1], p, six);
    ptm->color_planes[0][p] = static_cast<std::uint8_t>(random());
    ptm->color_planes[2][p] = static_cast<std::uint8_t>(random());
  }
  convert_all_coefficients(*ptm);
  return ptm;
}

}  // namespace

// The grid is the lattice points of the disc of radius 10 in steps of 0.1:
// 317 of them (Gauss's circle problem, N(10) = 317), rim points included.
TEST(MapRefit, LightGridIsTheTenthsInsideTheUnitDiscWithItsRim) {
  const std::vector<LightDirection> grid = refit_light_grid();
  EXPECT_EQ(grid.size(), 317u);
  auto has = [&grid](float u, float v) {
    for (const LightDirection& l : grid) {
      if (std::abs(l.u - u) < 1e-6f && std::abs(l.v - v) < 1e-6f) return true;
    }
    return false;
  };
  EXPECT_TRUE(has(0.0f, 0.0f));
  EXPECT_TRUE(has(1.0f, 0.0f));
  EXPECT_TRUE(has(-0.6f, 0.8f));
  EXPECT_TRUE(has(0.8f, -0.6f));
  EXPECT_FALSE(has(0.8f, 0.7f));  // 0.64 + 0.49 > 1
  EXPECT_FALSE(has(0.1f, 1.0f));
}

// Sources the target can hold exactly (unit scales, so every coefficient is
// a whole grey level): what is left is the evaluators' truncation, which the
// fit centres, so an RGB target is within half a grey level in RMS; an LRGB
// target truncates twice (the luminance, then its product with the colour)
// and may lose up to a level more, a quarter on average. An LRGB fit of
// channels in ratio 5 : 3 : 1 finds the colour 255 x (1, 3/5, 1/5), within
// the few levels by which the truncated channels depart from that ratio.
TEST(MapRefit, FitsWhatTheTargetFormatCanHold) {
  const struct {
    const char* name;
    std::function<Ptm*()> make;
    int target;
    double largest_rms;
  } cases[] = {
      {"channels in proportion to LRGB", proportional_rgb_map, PTM_FORMAT_LRGB, 0.75},
      {"LUM with the identity matrix to RGB", identity_lum_map, PTM_FORMAT_RGB, 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ptm* source = c.make();
    std::uint64_t last_done = 0;
    std::uint64_t last_total = 0;
    const RefitResult fit = refit_map(*source, c.target, preferred_representation(),
                                      [&](std::uint64_t done, std::uint64_t total) {
                                        EXPECT_GE(done, last_done);
                                        last_done = done;
                                        last_total = total;
                                      });
    ASSERT_NE(fit.ptm, nullptr);
    EXPECT_EQ(fit.ptm->format, c.target);
    EXPECT_EQ(fit.ptm->width, width);
    EXPECT_EQ(fit.ptm->height, height);
    EXPECT_EQ(fit.light_count, 317);
    EXPECT_LT(fit.rms_error, c.largest_rms);
    EXPECT_GT(fit.rms_error, 0.0);  // measured against the source, not the fit itself
    EXPECT_EQ(last_done, last_total);
    EXPECT_EQ(last_total, 2u * height);
    if (c.target == PTM_FORMAT_LRGB) {
      int off = 0;
      for (std::size_t p = 0; p < pixel_count(*fit.ptm); ++p) {
        std::uint8_t rgb[3];
        get_lrgb_color(*fit.ptm, p, rgb);
        if (std::abs(rgb[0] - 255) > 0 || std::abs(rgb[1] - 153) > 3 || std::abs(rgb[2] - 51) > 3) {
          ++off;
        }
      }
      EXPECT_EQ(off, 0);
    }
    free_ptm(fit.ptm);
    free_ptm(source);
  }
  Ptm* rgb = proportional_rgb_map();
  EXPECT_EQ(refit_map(*rgb, PTM_FORMAT_LUM, preferred_representation()).ptm, nullptr);
  free_ptm(rgb);
}
