// The luminance of parts of photographs: a JPEG's region decoded alone
// holds what the whole picture holds there, its 1/8 picture the blocks'
// means, and the other formats read whole give the same luminance formula.
#include "imageio/photograph_luminance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/jpeg_fixture.h"
#include "support/png_fixture.h"

namespace {

// A textured colour picture: gradients with a pattern that differs from
// pixel to pixel, so a region read from the wrong place shows.
JpegFixture textured(int width, int height, int components) {
  JpegFixture f;
  f.width = width;
  f.height = height;
  f.components = components;
  f.quality = 90;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) {
        f.samples.push_back(static_cast<std::uint8_t>(
            (3 * x + 5 * y + 70 * c + 40 * ((x * 7 + y * 13) % 5)) % 256));
      }
    }
  }
  return f;
}

double jfif_luma(const Rgb& p) { return (0.299 * p.r + 0.587 * p.g + 0.114 * p.b) / 255; }

}  // namespace

TEST(PhotographLuminance, JpegRegionsAreThePictureThereAndEighthsItsBlockMeans) {
  ScratchDirectory dir("photograph-luminance");
  JpegFixture progressive = textured(203, 157, 3);
  progressive.progressive = true;
  const std::vector<std::pair<std::string, JpegFixture>> files = {
      {"colour.jpg", textured(203, 157, 3)},
      {"grey.jpg", textured(203, 157, 1)},
      {"progressive.jpg", progressive},
  };
  for (const auto& [name, fixture] : files) {
    SCOPED_TRACE(name);
    const std::string path = dir.file(name);
    write_file_bytes(path, jpeg_fixture_bytes(fixture));
    std::vector<GreyPicture> whole;
    int width = 0, height = 0;
    ASSERT_TRUE(read_photograph_luminance(path.c_str(), 1, {}, whole, width, height));
    ASSERT_EQ(width, 203);
    ASSERT_EQ(height, 157);
    ASSERT_EQ(whole[0].width, 203);
    // Against netpbm's decoding of the same file: the luminance of its RGB
    // rounds to within two levels of the stream's own Y, top row first.
    const WindowPixels rgb = jpegtopnm_pixels(path);
    ASSERT_EQ(rgb.width, 203);
    for (int y = 0; y < height; y += 7) {
      for (int x = 0; x < width; x += 5) {
        ASSERT_NEAR(whole[0].at(x, y), jfif_luma(rgb.at(x, y)), 2.5 / 255) << x << "," << y;
      }
    }
    // Regions decoded alone, several at once: at block corners and off
    // them, clipped by the picture's edges, or outside it.
    const std::vector<PixelRect> rects = {
        {0, 0, 16, 16}, {13, 29, 50, 41}, {190, 150, 40, 40}, {-5, -3, 10, 10}, {250, 10, 5, 5}};
    const std::vector<PixelRect> expected = {
        {0, 0, 16, 16}, {13, 29, 50, 41}, {190, 150, 13, 7}, {0, 0, 5, 7}, {203, 10, 0, 5}};
    std::vector<GreyPicture> parts;
    ASSERT_TRUE(read_photograph_luminance(path.c_str(), 1, rects, parts, width, height));
    ASSERT_EQ(parts.size(), rects.size());
    for (std::size_t k = 0; k < rects.size(); ++k) {
      const GreyPicture& part = parts[k];
      EXPECT_EQ(part.left, expected[k].left) << k;
      EXPECT_EQ(part.top, expected[k].top) << k;
      EXPECT_EQ(part.width, expected[k].width) << k;
      EXPECT_EQ(part.height, expected[k].height) << k;
      for (int y = 0; y < part.height; ++y) {
        for (int x = 0; x < part.width; ++x) {
          ASSERT_EQ(part.at(x, y), whole[0].at(part.left + x, part.top + y)) << k;
        }
      }
    }
    // At 1/8 each pixel is its 8 x 8 block's mean (the last ones partial),
    // to the rounding of the quantised DC term.
    std::vector<GreyPicture> eighth;
    ASSERT_TRUE(read_photograph_luminance(path.c_str(), 8, {}, eighth, width, height));
    ASSERT_EQ(eighth[0].width, 26);
    ASSERT_EQ(eighth[0].height, 20);
    for (int by = 0; by < 19; ++by) {
      for (int bx = 0; bx < 25; ++bx) {
        double sum = 0;
        for (int y = 0; y < 8; ++y) {
          for (int x = 0; x < 8; ++x) sum += whole[0].at(8 * bx + x, 8 * by + y);
        }
        ASSERT_NEAR(eighth[0].at(bx, by), sum / 64, 2.0 / 255) << bx << "," << by;
      }
    }
  }
  // CMYK has no luminance of its own: refused, not misread.
  JpegFixture cmyk = textured(16, 16, 4);
  write_file_bytes(dir.file("cmyk.jpg"), jpeg_fixture_bytes(cmyk));
  std::vector<GreyPicture> out;
  int width, height;
  EXPECT_FALSE(read_photograph_luminance(dir.file("cmyk.jpg").c_str(), 1, {}, out, width, height));
}

TEST(PhotographLuminance, OtherFormatsGiveTheSameLuminanceAndBlockMeans) {
  ScratchDirectory dir("photograph-luminance-png");
  // 10 x 9 RGB: pixel (x, y) = (20 x, 25 y, 3 x y).
  PngFixture png;
  png.width = 10;
  png.height = 9;
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 10; ++x) {
      png.samples.insert(png.samples.end(),
                         {static_cast<std::uint16_t>(20 * x), static_cast<std::uint16_t>(25 * y),
                          static_cast<std::uint16_t>(3 * x * y)});
    }
  }
  write_file_bytes(dir.file("p.png"), png_fixture_bytes(png));
  const auto luma = [](int x, int y) {
    return (0.299 * 20 * x + 0.587 * 25 * y + 0.114 * 3 * x * y) / 255;
  };
  std::vector<GreyPicture> parts;
  int width = 0, height = 0;
  ASSERT_TRUE(read_photograph_luminance(dir.file("p.png").c_str(), 1, {{2, 3, 4, 20}}, parts, width,
                                        height));
  EXPECT_EQ(width, 10);
  EXPECT_EQ(height, 9);
  ASSERT_EQ(parts[0].width, 4);
  ASSERT_EQ(parts[0].height, 6);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_NEAR(parts[0].at(x, y), luma(2 + x, 3 + y), 1e-6);
  }
  // 1/8: a 2 x 2 picture of block means, the last column and row partial.
  std::vector<GreyPicture> eighth;
  ASSERT_TRUE(read_photograph_luminance(dir.file("p.png").c_str(), 8, {}, eighth, width, height));
  ASSERT_EQ(eighth[0].width, 2);
  ASSERT_EQ(eighth[0].height, 2);
  double corner = 0;
  for (int y = 8; y < 9; ++y) {
    for (int x = 8; x < 10; ++x) corner += luma(x, y);
  }
  EXPECT_NEAR(eighth[0].at(1, 1), corner / 2, 1e-6);
  // A file that is no picture is refused.
  write_file_bytes(dir.file("noise.jpg"), "GIF89a and then some");
  EXPECT_FALSE(
      read_photograph_luminance(dir.file("noise.jpg").c_str(), 1, {}, parts, width, height));
}
