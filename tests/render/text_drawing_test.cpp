// Text drawn with FreeType and DejaVu Sans: the font's own metrics, where
// the ink lands in a bottom-up picture, blending, clipping and UTF-8.
#include "render/text_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct FontCloser {
  void operator()(TextFont* font) const { close_text_font(font); }
};

RgbImage* white_picture(int width, int height) {
  RgbImage* image = new_rgb_image(width, height);
  std::memset(image->pixels, 255, static_cast<std::size_t>(width) * height * 3);
  return image;
}

// The pixel at (x, y) counted from the top-left corner.
const std::uint8_t* pixel(const RgbImage& image, int x, int y) {
  return image.pixels + (static_cast<std::size_t>(image.height - 1 - y) * image.width + x) * 3;
}

}  // namespace

TEST(TextDrawing, MetricsAreDejaVuSansAtThePixelSize) {
  std::unique_ptr<TextFont, FontCloser> font(open_text_font());
  ASSERT_NE(font, nullptr);
  // DejaVu Sans: 2048 units per em, ascender 1901, descender -483, so at
  // 100 pixels 92.8 and 23.6, rounded outward.
  const TextExtent extent = measure_text(*font, "Relumo", 100);
  EXPECT_EQ(extent.ascent, 93);
  EXPECT_EQ(extent.descent, 24);
  EXPECT_EQ(measure_text(*font, "", 100).width, 0);
  // Its digits share one advance (1303 units: 63.6 pixels at 100), so
  // that numbers line up in columns.
  EXPECT_NEAR(measure_text(*font, "0", 100).width, 64, 1);
  EXPECT_NEAR(measure_text(*font, "18", 100).width, 127, 1);
  // The degree sign decodes from UTF-8 as one character (1024 units: 20
  // pixels at 40), the replacement character too (2100 units: 41), and
  // bytes that are not UTF-8 (a stray continuation byte, an overlong
  // slash, a truncated sequence) are each one replacement character.
  EXPECT_NEAR(measure_text(*font, "\xC2\xB0", 40).width, 20, 1);
  const int replacement = measure_text(*font, "\xEF\xBF\xBD", 40).width;
  EXPECT_NEAR(replacement, 41, 1);
  EXPECT_EQ(measure_text(*font, "\x80", 40).width, replacement);
  EXPECT_EQ(measure_text(*font, "a\xC0\xAF", 40).width,
            measure_text(*font, "a", 40).width + 2 * replacement);
  EXPECT_EQ(measure_text(*font, "\xE2\x82", 40).width, 2 * replacement);
}

TEST(TextDrawing, InkLandsAboveTheBaselineInTheColourAndClipsAtTheEdges) {
  std::unique_ptr<TextFont, FontCloser> font(open_text_font());
  ASSERT_NE(font, nullptr);
  RgbImage* image = white_picture(60, 80);
  // "I" is one upright bar from the baseline to the cap height (1493
  // units: 29.2 pixels at 40), from 201 to 403 units (3.9 to 7.9 pixels)
  // right of the pen.
  draw_text(*font, *image, 10, 50, "I", 40, {200, 0, 0});
  int top = 80, bottom = -1, left = 60, right = -1, full = 0, partial = 0;
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      const std::uint8_t* p = pixel(*image, x, y);
      if (p[0] == 255 && p[1] == 255 && p[2] == 255) continue;
      top = std::min(top, y), bottom = std::max(bottom, y);
      left = std::min(left, x), right = std::max(right, x);
      if (p[0] == 200 && p[1] == 0 && p[2] == 0) {
        ++full;
      } else {
        // Partly covered pixels lie between white and the colour.
        EXPECT_GE(p[0], 200);
        EXPECT_EQ(p[1], p[2]);
        ++partial;
      }
    }
  }
  EXPECT_EQ(bottom, 49);  // the last row above the baseline
  EXPECT_NEAR(top, 50 - 30, 1);
  EXPECT_NEAR(left, 10 + 4, 1);
  EXPECT_NEAR(right, 10 + 7, 1);
  EXPECT_GE(full, 29 * 3);  // the bar is 3.9 pixels wide
  EXPECT_GT(partial, 0);    // anti-aliased

  // Text running off every edge draws what is inside and nothing else.
  RgbImage* small = white_picture(8, 8);
  draw_text(*font, *small, -20, 30, "Wide text WWW", 60, {0, 0, 0});
  bool inked = false;
  for (int i = 0; i < 8 * 8 * 3; ++i) inked = inked || small->pixels[i] != 255;
  EXPECT_TRUE(inked);
  free_rgb_image(small);
  free_rgb_image(image);
}
