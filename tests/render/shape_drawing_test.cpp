// Anti-aliased shapes: the ink they lay down is their area, and it lands
// where the top-down coordinates say in the bottom-up picture.
#include "render/shape_drawing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// The ink of black drawn on white: the sum of every pixel's darkening.
double ink(const RgbImage& image) {
  double sum = 0;
  for (int i = 0; i < image.width * image.height; ++i) sum += (255 - image.pixels[3 * i]) / 255.0;
  return sum;
}

const std::uint8_t* pixel(const RgbImage& image, int x, int y) {
  return image.pixels + (static_cast<std::size_t>(image.height - 1 - y) * image.width + x) * 3;
}

}  // namespace

TEST(ShapeDrawing, InkIsTheShapesAreaInTheRightPlace) {
  constexpr DrawColor black{0, 0, 0};
  RgbImage* image = new_rgb_image(40, 30);
  const auto clear = [&] { std::memset(image->pixels, 255, 40 * 30 * 3); };
  const double pi = std::numbers::pi;
  clear();
  fill_disc(*image, 12.3, 14.6, 6, black);
  EXPECT_NEAR(ink(*image), pi * 36, 1.0) << "disc";
  EXPECT_EQ(pixel(*image, 12, 14)[0], 0);    // the centre
  EXPECT_EQ(pixel(*image, 12, 22)[0], 255);  // 7.9 below the centre, outside
  clear();
  draw_ring(*image, 20, 15, 9, 2, black);
  EXPECT_NEAR(ink(*image), 2 * pi * 9 * 2, 2.0) << "ring";
  EXPECT_EQ(pixel(*image, 20, 15)[0], 255);  // its hole
  clear();
  // A horizontal stroke one pixel wide along row 5's centre line covers
  // pixels 3 .. 16 of that row and nothing above or below.
  draw_line(*image, 3, 5.5, 17, 5.5, 1, black);
  EXPECT_NEAR(ink(*image), 14, 0.01) << "line";
  for (int x = 3; x < 17; ++x) EXPECT_EQ(pixel(*image, x, 5)[0], 0) << x;
  EXPECT_EQ(pixel(*image, 8, 4)[0], 255);
  EXPECT_EQ(pixel(*image, 8, 6)[0], 255);
  clear();
  // Shapes past the edges are clipped, rectangles to whole pixels.
  fill_rectangle(*image, -5, 25, 10, 10, black);
  EXPECT_NEAR(ink(*image), 5 * 5, 1e-9) << "rectangle";
  fill_disc(*image, -100, -100, 3, black);
  EXPECT_NEAR(ink(*image), 25, 1e-9);
  free_rgb_image(image);
}
