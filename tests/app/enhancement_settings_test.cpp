// The settings behind the enhancement sliders and the extrapolation toggle.
#include <gtest/gtest.h>

#include "app/core/extrapolation.h"
#include "app/core/slider_values.h"
#include "render/light_state.h"

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
    light_extent = 1.0f;
    saved_light_extent = 2.0f;
    light_u = light_v = 0;
    light_u_of[1] = light_v_of[1] = 0;
  }
};

TEST_F(ExtrapolationTest, SwitchingOffBringsTheSteeredLightInsideTheUnitCircle) {
  light_extent = 2.5f;
  light_u = 2.0f;
  light_v = -1.0f;
  light_u_of[1] = 1.5f;  // another light keeps its direction
  stop_extrapolating();
  EXPECT_FLOAT_EQ(light_u, 0.8f);
  EXPECT_FLOAT_EQ(light_v, -0.4f);
  EXPECT_FLOAT_EQ(light_extent, 1.0f);
  EXPECT_FLOAT_EQ(saved_light_extent, 2.5f);
  EXPECT_FLOAT_EQ(light_u_of[1], 1.5f);

  // Switching on again restores the extent; the light stays until the
  // pointer moves it.
  resume_extrapolating();
  EXPECT_FLOAT_EQ(light_extent, 2.5f);
  EXPECT_FLOAT_EQ(light_u, 0.8f);
}

TEST_F(ExtrapolationTest, FirstSwitchOnUsesTheDefaultExtentOfTwo) {
  resume_extrapolating();
  EXPECT_FLOAT_EQ(light_extent, 2.0f);
  EXPECT_DOUBLE_EQ(slider_position_of_extent(light_extent), 0.5);
}

}  // namespace
