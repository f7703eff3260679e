#include "imageio/jpeg_photograph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/jpeg_fixture.h"

namespace {

// Pixel (x, y) of the image, y upward from the bottom row, against row y
// from the top of a top-down picture.
bool same_pixels_flipped(const RgbImage& image, const WindowPixels& top_down) {
  if (image.width != top_down.width || image.height != top_down.height) return false;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* p = image.pixels + (static_cast<std::size_t>(y) * image.width + x) * 3;
      if (!(Rgb{p[0], p[1], p[2]} == top_down.at(x, image.height - 1 - y))) return false;
    }
  }
  return true;
}

JpegFixture gradient(int components, int width, int height) {
  JpegFixture f;
  f.width = width;
  f.height = height;
  f.components = components;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) {
        f.samples.push_back(static_cast<std::uint8_t>(7 * x + 11 * y + 60 * c));
      }
    }
  }
  return f;
}

}  // namespace

TEST(JpegPhotograph, DecodesColourGreyAndProgressivePhotographsBottomRowFirst) {
  ScratchDirectory dir("jpeg-photograph");
  JpegFixture progressive = gradient(3, 37, 21);
  progressive.progressive = true;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"colour.jpg", jpeg_fixture_bytes(gradient(3, 37, 21))},
      {"grey.jpg", jpeg_fixture_bytes(gradient(1, 19, 30))},
      {"progressive.jpg", jpeg_fixture_bytes(progressive)},
      {"camera.jpg", read_file_bytes(std::string(RELUMO_TESTDATA_DIR) + "/rti/icon72/image01.jpg")},
  };
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    ASSERT_FALSE(bytes.empty());
    write_file_bytes(dir.file(name), bytes);
    const WindowPixels expected = jpegtopnm_pixels(dir.file(name));
    ASSERT_FALSE(expected.empty()) << "jpegtopnm could not decode " << name;
    RgbImage* image = read_jpeg_photograph(dir.file(name).c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(same_pixels_flipped(*image, expected));
    free_rgb_image(image);
  }
}

TEST(JpegPhotograph, RefusesWhatIsNoRgbPhotographWithAMessageAndReadsATruncatedOneAsFarAsItGoes) {
  ScratchDirectory dir("jpeg-photograph");
  const std::string colour = jpeg_fixture_bytes(gradient(3, 37, 21));
  const std::string name = dir.file("p.jpg");
  const std::string undecodable = "JPEG photograph " + name + " cannot be decoded\n";
  const struct {
    const char* what;
    std::string bytes;
    std::string output;  // empty: decoded
  } cases[] = {
      {"empty", "", undecodable},
      {"garbage", "GIF89a not a JPEG", undecodable},
      {"only the start-of-image marker", colour.substr(0, 2), undecodable},
      {"cut inside the header", colour.substr(0, 100), undecodable},
      // A comment segment declaring 65533 bytes, of which 3 follow: the
      // skip runs past the end of the stream, which then has no image.
      {"a segment longer than the stream", std::string("\xFF\xD8\xFF\xFE\xFF\xFF" "abc", 9),
       undecodable},
      {"CMYK", jpeg_fixture_bytes(gradient(4, 8, 8)),
       "JPEG photograph " + name + " is in a colour space without an RGB rendering (CMYK)\n"},
      {"cut inside the pixel data", colour.substr(0, colour.size() * 3 / 4), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_file_bytes(name, c.bytes);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    RgbImage* image = read_jpeg_photograph(name.c_str());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
    if (c.output.empty()) {
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(image->width, 37);
      EXPECT_EQ(image->height, 21);
      EXPECT_NE(errors, "") << "libjpeg's warning about the early end";
    } else {
      EXPECT_EQ(image, nullptr);
    }
    free_rgb_image(image);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(read_jpeg_photograph(dir.file("missing.jpg").c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unable to load jpeg file " + dir.file("missing.jpg") + "\n");
}
