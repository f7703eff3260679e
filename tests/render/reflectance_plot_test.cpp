#include "render/reflectance_plot.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using Rgb = std::array<int, 3>;
constexpr Rgb grey{128, 128, 128};
constexpr Rgb dark_red{128, 0, 0};

// A 2 x 2 wide LRGB map, black but for the probe (1, 0): white, luminance
// 100 + 100 u; every normal faces the viewer. The plot is 250 x 250.
class ReflectancePlotTest : public testing::Test {
 protected:
  void SetUp() override {
    std::memset(ptm_->lum_coef_int, 0, 4 * 6 * sizeof(std::int32_t));
    for (auto* plane : ptm_->color_planes) {
      std::memset(plane, 0, 4);
      plane[1] = 255;
    }
    ptm_->lum_coef_int[1 * 6 + 3] = 100 * 16;
    ptm_->lum_coef_int[1 * 6 + 5] = 100 * 16384;
    ptm_->normals = normals_;
  }
  void TearDown() override {
    ptm_->normals = nullptr;
    free_rgb_image(plot_);
    free_ptm(ptm_);
  }
  Rgb at(int x, int y) const {
    const std::uint8_t* p = plot_->pixels + (static_cast<std::size_t>(y) * 250 + x) * 3;
    return {p[0], p[1], p[2]};
  }
  int count(const Rgb& colour) const {
    int n = 0;
    for (int y = 0; y < 250; ++y) {
      for (int x = 0; x < 250; ++x) n += at(x, y) == colour;
    }
    return n;
  }

  std::int8_t normals_[12] = {0, 0, 127, 0, 0, 127, 0, 0, 127, 0, 0, 127};
  Ptm* ptm_ = create_ptm(2, 2, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  RgbImage* plot_ = new_rgb_image(250, 250);
  RenderMode mode_;
};

TEST_F(ReflectancePlotTest, ExtentOneFillsTheDiscEdgeToEdgeWithGreyCornersAndNoRing) {
  render_reflectance_function(*plot_, *ptm_, mode_, 1, 0);
  EXPECT_EQ(at(125, 125), (Rgb{99, 99, 99}));
  // Column 0 is u = -1: luminance 0. Column 249 is u = 0.992: U = 1015,
  // (1600 * 1015 + 100 * 16384) >> 14 = 199, times 255 >> 8.
  EXPECT_EQ(at(0, 125), (Rgb{0, 0, 0}));
  EXPECT_EQ(at(249, 125), (Rgb{198, 198, 198}));
  EXPECT_EQ(at(125, 0), (Rgb{99, 99, 99}));
  EXPECT_EQ(at(0, 0), grey);
  EXPECT_EQ(at(249, 249), grey);
  EXPECT_EQ(count(dark_red), 0);
}

TEST_F(ReflectancePlotTest, ExtrapolationMarksTheUnitCircleAsADarkRedRing) {
  mode_.light_extent = 2.0f;
  render_reflectance_function(*plot_, *ptm_, mode_, 1, 0);
  // Column 125 + k is u = 2 k / 125: k = 62, 63 give u^2 = 0.984, 1.016.
  EXPECT_EQ(at(187, 125), dark_red);
  EXPECT_EQ(at(188, 125), dark_red);
  EXPECT_EQ(at(63, 125), dark_red);
  EXPECT_EQ(at(125, 63), dark_red);
  EXPECT_NE(at(186, 125), dark_red);
  EXPECT_NE(at(189, 125), dark_red);
  EXPECT_EQ(at(5, 5), grey);
  // pi (1.03 - 0.97) 62.5^2 = 736 pixels.
  EXPECT_NEAR(count(dark_red), 736, 40);
}

TEST_F(ReflectancePlotTest, AProbeOutsideTheMapKeepsThePreviousPlot) {
  std::memset(plot_->pixels, 7, 250 * 250 * 3);
  const std::array<std::array<int, 2>, 4> outside{{{-1, 0}, {2, 0}, {0, 2}, {0, -1}}};
  for (const auto& [x, y] : outside) {
    render_reflectance_function(*plot_, *ptm_, mode_, x, y);
    EXPECT_EQ(at(125, 125), (Rgb{7, 7, 7})) << x << "," << y;
  }
}

TEST_F(ReflectancePlotTest, SpecularHighlightReachesRingPixelsButNotTheOutside) {
  mode_.light_extent = 2.0f;
  mode_.enhancement = Enhancement::specular;
  render_reflectance_function(*plot_, *ptm_, mode_, 1, 0);
  EXPECT_EQ(at(125, 125), (Rgb{255, 255, 255}));  // head-on: full highlight
  // On the ring the half-way vector is 41 degrees off the normal: cos^60
  // vanishes and 0.4 of dark red remains.
  EXPECT_EQ(at(187, 125), (Rgb{51, 0, 0}));
  EXPECT_EQ(at(5, 5), grey);
}

TEST(ReflectanceOverlay, LightDirectionsLandAroundThePlotCentreScaledByTheExtent) {
  EXPECT_EQ(plot_position(0, 0, 3).x, 125);
  // A source photograph lit from (0.5, 0) at extent 1: column 187.5.
  EXPECT_EQ(plot_position(0.5f, 0, 1).x, 187);
  EXPECT_EQ(plot_position(0.5f, 0, 1).y, 125);
  EXPECT_EQ(plot_position(-0.5f, -0.5f, 2).x, 93);  // 93.75
  EXPECT_EQ(plot_position(0, 1, 2).y, 187);
}

TEST(ReflectanceOverlay, NormalPositionsTruncateTowardZeroTwice) {
  for (const float extent : {1.0f, 2.0f, 3.0f}) {
    EXPECT_EQ(normal_plot_position(0, 0, extent).x, 125);
    EXPECT_EQ(normal_plot_position(0, 0, extent).y, 125);
  }
  EXPECT_EQ(normal_plot_position(127, 0, 1).x, 249);  // q(127) = 15875 / 128 = 124
  EXPECT_EQ(normal_plot_position(127, 0, 3).x, 166);  // 124 / 3 = 41.3
  EXPECT_EQ(normal_plot_position(-127, 64, 2).x, 63);   // -124 / 2
  EXPECT_EQ(normal_plot_position(-127, 64, 2).y, 156);  // q(64) = 62, / 2
  EXPECT_EQ(normal_plot_position(-1, 0, 1).x, 125);     // q(-1) = 0, not -1
}

}  // namespace
