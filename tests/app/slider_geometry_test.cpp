#include "app/core/slider_geometry.h"

#include <gtest/gtest.h>

namespace {

void expect_rect(SliderRect r, int x0, int y0, int x1, int y1) {
  EXPECT_EQ(r.x0, x0);
  EXPECT_EQ(r.y0, y0);
  EXPECT_EQ(r.x1, x1);
  EXPECT_EQ(r.y1, y1);
}

TEST(SliderGeometry, TallerOrSquareSlidersAreVertical) {
  EXPECT_FALSE(slider_is_vertical(100, 20));
  EXPECT_TRUE(slider_is_vertical(20, 100));
  EXPECT_TRUE(slider_is_vertical(30, 30));
}

TEST(SliderGeometry, TrackIsNineTenthsLessFourTruncated) {
  EXPECT_EQ(slider_track(100), 86);
  EXPECT_EQ(slider_track(25), 18);  // 22.5 - 4 = 18.5
  EXPECT_EQ(slider_track(33), 25);  // 29.7 - 4 = 25.7
}

TEST(SliderGeometry, HorizontalGrooveOfTheProgramsSliders) {
  expect_rect(slider_groove(100, 20, false), 2, 8, 98, 12);
}

TEST(SliderGeometry, HorizontalHandleRunsFromTwoToEightyEight) {
  expect_rect(slider_handle(100, 20, false, 0.0), 2, 2, 12, 18);
  expect_rect(slider_handle(100, 20, false, 0.5), 45, 2, 55, 18);
  expect_rect(slider_handle(100, 20, false, 1.0), 88, 2, 98, 18);
}

TEST(SliderGeometry, HandlePositionIsTruncated) {
  // 86 / 3 + 2 = 30.67
  expect_rect(slider_handle(100, 20, false, 1.0 / 3.0), 30, 2, 40, 18);
  // 25 x 15: track 18; 18 * 0.3 + 2 = 7.4; its far edge 2.5 + 7 = 9.5.
  expect_rect(slider_handle(25, 15, false, 0.3), 7, 2, 9, 13);
}

TEST(SliderGeometry, GrooveHalvesAreIntegerHalves) {
  // Height 15: thickness 3, middle 7, 3 / 2 = 1 either side.
  expect_rect(slider_groove(25, 15, false), 2, 6, 23, 8);
  // Width 25 vertical: thickness 5, middle 12, 5 / 2 = 2 either side.
  expect_rect(slider_groove(25, 60, true), 10, 2, 14, 58);
}

TEST(SliderGeometry, GrooveIsAtLeastOnePixelThickBeforeHalving) {
  // Height 4: a fifth is 0.8, raised to 1, whose integer half is 0, so the
  // two edges meet at the middle row.
  expect_rect(slider_groove(50, 4, false), 2, 2, 48, 2);
}

TEST(SliderGeometry, VerticalGrooveAndHandle) {
  expect_rect(slider_groove(20, 100, true), 8, 2, 12, 98);
  expect_rect(slider_handle(20, 100, true, 0.0), 2, 2, 18, 12);
  expect_rect(slider_handle(20, 100, true, 1.0), 2, 88, 18, 98);
}

TEST(SliderGeometry, HorizontalValueFollowsThePointer) {
  EXPECT_DOUBLE_EQ(slider_value_at(100, 20, false, 2, 10), 0.0);
  EXPECT_DOUBLE_EQ(slider_value_at(100, 20, false, 45, 10), 0.5);
  EXPECT_DOUBLE_EQ(slider_value_at(100, 20, false, 88, 10), 1.0);
  EXPECT_DOUBLE_EQ(slider_value_at(100, 20, false, 24, -40), 22.0 / 86.0);  // y ignored
}

TEST(SliderGeometry, VerticalValueIsOneAtTheTop) {
  EXPECT_DOUBLE_EQ(slider_value_at(20, 100, true, 10, 2), 1.0);
  EXPECT_DOUBLE_EQ(slider_value_at(20, 100, true, 10, 45), 0.5);
  EXPECT_DOUBLE_EQ(slider_value_at(20, 100, true, 10, 88), 0.0);
  EXPECT_DOUBLE_EQ(slider_value_at(20, 100, true, 500, 67), 1.0 - 65.0 / 86.0);  // x ignored
}

TEST(SliderGeometry, ValueIsClampedBeyondEitherEnd) {
  EXPECT_EQ(slider_value_at(100, 20, false, 1, 10), 0.0);
  EXPECT_EQ(slider_value_at(100, 20, false, -300, 10), 0.0);
  EXPECT_EQ(slider_value_at(100, 20, false, 89, 10), 1.0);
  EXPECT_EQ(slider_value_at(100, 20, false, 400, 10), 1.0);
  EXPECT_EQ(slider_value_at(20, 100, true, 10, -50), 1.0);
  EXPECT_EQ(slider_value_at(20, 100, true, 10, 150), 0.0);
}

TEST(SliderGeometry, SliderWithoutTrackReadsZero) {
  // Length 5: 4.5 - 4 truncates to a track of 0.
  EXPECT_EQ(slider_value_at(5, 2, false, 2, 1), 0.0);
  EXPECT_EQ(slider_value_at(5, 2, false, 4, 1), 0.0);
  EXPECT_EQ(slider_value_at(2, 4, true, 1, 0), 0.0);  // track -0.4 -> 0
}

}  // namespace
