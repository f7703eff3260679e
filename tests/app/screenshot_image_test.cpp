#include "app/core/screenshot_image.h"

#include <gtest/gtest.h>

#include <string>

#include "app/core/viewer_state.h"
#include "render/render_image.h"
#include "support/files.h"

namespace {

// A wide LRGB map lit only by its constant term: luminance a5 = 200 +
// x, colour (255, 128, 64) at every pixel, so the image is independent of
// the light direction unless a3 is set.
Ptm* flat_map(int width, int height, int a3) {
  Ptm* ptm = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t p = static_cast<std::size_t>(y) * width + x;
      std::int32_t* a = ptm->lum_coef_int + p * 6;
      a[0] = a[1] = a[2] = a[4] = 0;
      a[3] = a3 * 16;
      a[5] = (200 + x) * 16384;
      const std::uint8_t colour[3] = {255, 128, 64};
      set_lrgb_color(*ptm, p, colour);
    }
  }
  return ptm;
}

std::string bytes_of(const RgbImage& image) {
  return std::string(reinterpret_cast<const char*>(image.pixels),
                     static_cast<std::size_t>(image.width) * image.height * 3);
}

class ScreenshotTest : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < light_count; ++i) {
      viewer.light_enabled[i] = 0;
      viewer.light_intensity[i] = 1.0f;
      viewer.light_u_of[i] = viewer.light_v_of[i] = 0;
    }
    viewer.light_enabled[0] = 1;
    viewer.current_light = 0;
    viewer.light_u = viewer.light_v = 0;
  }
  void TearDown() override { SetUp(); }
};

TEST_F(ScreenshotTest, OneLightAtIntensityOneIsTheFullSizeRender) {
  Ptm* ptm = flat_map(9, 5, 100);
  viewer.light_u = 0.4f;  // the steered light's live direction, not its stored one
  RgbImage* expected = new_rgb_image(9, 5);
  render_ptm_image(*expected, *ptm, RenderMode{}, 0.4f, 0, 0, 0);
  RgbImage* shot = render_screenshot(*ptm);
  EXPECT_EQ(bytes_of(*shot), bytes_of(*expected));
  free_rgb_image(shot);
  free_rgb_image(expected);
  free_ptm(ptm);
}

TEST_F(ScreenshotTest, LightsAddAndSaturateAndIntensityScalesWithTruncation) {
  Ptm* ptm = flat_map(4, 1, 0);
  // Alone, pixel 0 shows (200 * 255) >> 8 = 199, (200 * 128) >> 8 = 100,
  // (200 * 64) >> 8 = 50.
  RgbImage* one = render_screenshot(*ptm);
  EXPECT_EQ(one->pixels[0], 199);
  EXPECT_EQ(one->pixels[1], 100);
  EXPECT_EQ(one->pixels[2], 50);

  viewer.light_enabled[1] = 1;
  RgbImage* two = render_screenshot(*ptm);
  EXPECT_EQ(two->pixels[0], 255);  // 398 saturates
  EXPECT_EQ(two->pixels[1], 200);
  EXPECT_EQ(two->pixels[2], 100);

  viewer.light_enabled[1] = 0;
  viewer.light_intensity[0] = 0.5f;
  RgbImage* half = render_screenshot(*ptm);
  EXPECT_EQ(half->pixels[0], 99);  // trunc(99.5)
  EXPECT_EQ(half->pixels[1], 50);
  EXPECT_EQ(half->pixels[2], 25);

  viewer.light_enabled[0] = 0;
  RgbImage* none = render_screenshot(*ptm);
  EXPECT_EQ(bytes_of(*none), std::string(12, '\0'));
  for (RgbImage* image : {one, two, half, none}) free_rgb_image(image);
  free_ptm(ptm);
}

TEST(ScreenshotName, TheFirstFreeNumberFillsAGap) {
  ScratchDirectory scratch("screenshots");
  const std::string dir = scratch.path + "/";
  EXPECT_EQ(free_screenshot_name(dir), dir + "screenshot000.tga");
  write_file_bytes(dir + "screenshot000.tga", "x");
  write_file_bytes(dir + "screenshot002.tga", "x");
  EXPECT_EQ(free_screenshot_name(dir), dir + "screenshot001.tga");
}

TEST(ScreenshotName, ADirectoryThatCannotBeWrittenIsReportedByTheWriter) {
  ScratchDirectory scratch("screenshots");
  const std::string dir = scratch.path + "/missing/";
  Ptm* ptm = create_ptm(2, 2, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  save_screenshot(*ptm, dir);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Can't write in folder " + dir +
                ": No such file or directory\nwrite_tga: Unable to write to FILE *\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Creating Screenshot " + dir + "screenshot000.tga\n");
  free_ptm(ptm);
}

TEST(ScreenshotName, AThousandScreenshotsLeaveNoNameAndNothingIsWritten) {
  ScratchDirectory scratch("screenshots");
  const std::string dir = scratch.path + "/";
  for (int k = 0; k < 1000; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "screenshot%03d.tga", k);
    write_file_bytes(dir + name, "kept");
  }
  EXPECT_EQ(free_screenshot_name(dir), "");
  Ptm* ptm = create_ptm(2, 2, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  for (int i = 0; i < light_count; ++i) viewer.light_enabled[i] = 0;
  testing::internal::CaptureStderr();
  save_screenshot(*ptm, dir);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unable to ouput screenshot. Too many screenshots in directory, or invalid "
            "directory\n");
  EXPECT_EQ(read_file_bytes(dir + "screenshot000.tga"), "kept");
  viewer.light_enabled[0] = 1;
  free_ptm(ptm);
}

}  // namespace
