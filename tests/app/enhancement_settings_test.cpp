// The settings behind the enhancement sliders and the extrapolation toggle.
#include <gtest/gtest.h>

#include "app/core/extrapolation.h"
#include "app/core/slider_values.h"
#include "app/core/viewer_state.h"
#include "render/diffuse_gain.h"

namespace {

TEST(SliderValues, GainIsCubicWhenSwitchedOnAndQuarticWhenDragged) {
  EXPECT_FLOAT_EQ(gain_on_switching_on(0.2), 1.8f);  // 1 + 100 * 0.008
  EXPECT_FLOAT_EQ(gain_from_slider(0.2), 1.16f);     // 1 + 100 * 0.0016
  EXPECT_FLOAT_EQ(gain_from_slider(0), 1.0f);
  EXPECT_FLOAT_EQ(gain_from_slider(1), 101.0f);
}

TEST(SliderValues, ExponentTruncatesAndExtentSpansOneToThree) {
  EXPECT_EQ(specular_exponent_from_slider(0.255), 25);
  EXPECT_EQ(specular_exponent_from_slider(0.6), 60);
  EXPECT_EQ(specular_exponent_from_slider(1), 100);
  EXPECT_FLOAT_EQ(light_extent_from_slider(0), 1.0f);
  EXPECT_FLOAT_EQ(light_extent_from_slider(0.25), 1.5f);
  EXPECT_FLOAT_EQ(light_extent_from_slider(1), 3.0f);
  EXPECT_FLOAT_EQ(light_intensity_from_slider(0.5), 2.0f);
}

TEST(SliderValues, NewSlidersStartAtTheirSettingClampedToTheTrack) {
  EXPECT_DOUBLE_EQ(slider_position_of_extent(2.0f), 0.5);
  EXPECT_DOUBLE_EQ(slider_position_of_exponent(60), 0.6);
  EXPECT_DOUBLE_EQ(slider_position_of_exponent(250), 1.0);
  EXPECT_DOUBLE_EQ(slider_position_of_intensity(1.0f), 0.25);
  EXPECT_DOUBLE_EQ(slider_position(-0.3), 0.0);
  EXPECT_DOUBLE_EQ(slider_position(0.4), 0.4);
}

class ExtrapolationTest : public testing::Test {
 protected:
  void TearDown() override {
    viewer.light_extent = 1.0f;
    viewer.saved_light_extent = 2.0f;
    viewer.light_u = viewer.light_v = 0;
    viewer.light_u_of[1] = viewer.light_v_of[1] = 0;
  }
};

TEST_F(ExtrapolationTest, SwitchingOffBringsTheSteeredLightInsideTheUnitCircle) {
  viewer.light_extent = 2.5f;
  viewer.light_u = 2.0f;
  viewer.light_v = -1.0f;
  viewer.light_u_of[1] = 1.5f;  // another light keeps its direction
  stop_extrapolating();
  EXPECT_FLOAT_EQ(viewer.light_u, 0.8f);
  EXPECT_FLOAT_EQ(viewer.light_v, -0.4f);
  EXPECT_FLOAT_EQ(viewer.light_extent, 1.0f);
  EXPECT_FLOAT_EQ(viewer.saved_light_extent, 2.5f);
  EXPECT_FLOAT_EQ(viewer.light_u_of[1], 1.5f);

  // Switching on again restores the extent; the light stays until the
  // pointer moves it.
  resume_extrapolating();
  EXPECT_FLOAT_EQ(viewer.light_extent, 2.5f);
  EXPECT_FLOAT_EQ(viewer.light_u, 0.8f);
}

TEST_F(ExtrapolationTest, FirstSwitchOnUsesTheDefaultExtentOfTwo) {
  resume_extrapolating();
  EXPECT_FLOAT_EQ(viewer.light_extent, 2.0f);
  EXPECT_DOUBLE_EQ(slider_position_of_extent(viewer.light_extent), 0.5);
}

}  // namespace
