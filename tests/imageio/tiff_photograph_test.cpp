#include "imageio/tiff_photograph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/tiff_fixture.h"

namespace {

// Fixture samples of `width` x `height` pixels of `samples` each, distinct
// and spread over the range of `bits`.
std::vector<std::uint16_t> test_samples(int width, int height, int samples, int bits) {
  std::vector<std::uint16_t> values;
  const int count = width * height * samples;
  for (int i = 0; i < count; ++i) {
    values.push_back(static_cast<std::uint16_t>(bits == 16 ? (i * 7919 + 13) % 65536 : (i * 37 + 5) % 256));
  }
  return values;
}

// What the reader must give for a fixture: rows bottom-up, three samples
// a pixel, grey repeated (and inverted when white is 0), alpha dropped.
std::vector<std::uint16_t> expected_rgb(const TiffFixture& f) {
  std::vector<std::uint16_t> rgb;
  const int white = f.bits == 16 ? 65535 : 255;
  for (int y = f.height - 1; y >= 0; --y) {
    for (int x = 0; x < f.width; ++x) {
      const std::uint16_t* pixel =
          f.samples.data() + (static_cast<std::size_t>(y) * f.width + x) * f.samples_per_pixel;
      for (int c = 0; c < 3; ++c) {
        const int v = f.photometric == 2 ? pixel[c] : pixel[0];
        rgb.push_back(static_cast<std::uint16_t>(f.photometric == 0 ? white - v : v));
      }
    }
  }
  return rgb;
}

std::vector<std::uint16_t> samples_of(const Photograph& p) {
  if (p.bits == 16) return p.samples16;
  return std::vector<std::uint16_t>(p.samples8.begin(), p.samples8.end());
}

TiffPhotograph* open_bytes(const std::string& bytes) {
  return open_tiff_photograph(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                              "t.tif");
}

}  // namespace

TEST(TiffPhotograph, ReadsRgbAndGreyOf8And16BitsInStripsAndTilesCompressedOrNot) {
  struct Case {
    const char* what;
    int photometric;
    int samples_per_pixel;
    int bits;
    int compression;  // 1 none, 5 LZW, 8 Deflate, 32773 PackBits
    bool planar;
    int rows_per_strip;
    int tile;  // 0: strips
  };
  const Case cases[] = {
      {"RGB 8, uncompressed strips of one row", 2, 3, 8, 1, false, 1, 0},
      {"RGB 16, LZW strips of three rows", 2, 3, 16, 5, false, 3, 0},
      {"RGB 8, Deflate tiles over the edges", 2, 3, 8, 8, false, 0, 16},
      {"RGB 16, planes in Deflate tiles", 2, 3, 16, 8, true, 0, 16},
      {"RGB 8 with alpha, planes in LZW strips", 2, 4, 8, 5, true, 4, 0},
      {"RGB 16 with alpha, interleaved, PackBits", 2, 4, 16, 32773, false, 2, 0},
      {"grey 8, min-is-black, one strip", 1, 1, 8, 1, false, 100, 0},
      {"grey 16, min-is-black, LZW tiles", 1, 1, 16, 5, false, 0, 16},
      {"grey 8, min-is-white, Deflate", 0, 1, 8, 8, false, 2, 0},
      {"grey 16, min-is-white", 0, 1, 16, 1, false, 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TiffFixture f;
    f.width = 19;  // neither tiles nor strips divide the picture evenly
    f.height = 7;
    f.photometric = c.photometric;
    f.samples_per_pixel = c.samples_per_pixel;
    f.bits = c.bits;
    f.compression = c.compression;
    f.planar = c.planar;
    f.rows_per_strip = c.rows_per_strip;
    f.tile_width = f.tile_length = c.tile;
    f.samples = test_samples(f.width, f.height, f.samples_per_pixel, f.bits);
    const std::string bytes = tiff_fixture_bytes(f);
    TiffPhotograph* tiff = open_bytes(bytes);
    ASSERT_NE(tiff, nullptr);
    EXPECT_EQ(tiff_photograph_width(tiff), f.width);
    EXPECT_EQ(tiff_photograph_height(tiff), f.height);
    Photograph photograph;
    EXPECT_TRUE(decode_tiff_photograph(tiff, photograph));
    close_tiff_photograph(tiff);
    EXPECT_EQ(photograph.bits, c.bits);
    EXPECT_EQ(samples_of(photograph), expected_rgb(f));
  }
}

TEST(TiffPhotograph, RefusesOtherKindsAndDamagedDataWithAMessage) {
  TiffFixture rgb;
  rgb.width = 6;
  rgb.height = 4;
  rgb.rows_per_strip = 4;
  rgb.compression = 5;
  rgb.samples = test_samples(6, 4, 3, 8);
  TiffFixture cmyk = rgb;
  cmyk.photometric = 5;
  cmyk.samples_per_pixel = 4;
  cmyk.samples = test_samples(6, 4, 4, 8);
  TiffFixture floating = rgb;
  floating.bits = 32;
  floating.sample_format = 3;
  TiffFixture is_signed = rgb;
  is_signed.sample_format = 2;
  // Colours and six extra samples: beyond what a photograph carries.
  TiffFixture many_samples = rgb;
  many_samples.samples_per_pixel = 9;
  many_samples.samples = test_samples(6, 4, 9, 8);
  const std::string good = tiff_fixture_bytes(rgb);
  // libtiff writes the strips right after the 8-byte header and the
  // directory after them, at the offset the header gives.
  std::string garbled = good;
  const std::size_t directory = static_cast<std::uint8_t>(good[4]) |
                                static_cast<std::uint8_t>(good[5]) << 8;
  for (std::size_t i = 8; i < directory; ++i) garbled[i] = '\xFF';
  const struct {
    const char* what;
    std::string bytes;
    bool opens;  // refused only when decoding
    const char* message;
  } cases[] = {
      {"CMYK", tiff_fixture_bytes(cmyk), false,
       "TIFF photograph t.tif is a CMYK picture; only RGB and grey photographs of 8 or 16 bits "
       "are read\n"},
      {"floating point", tiff_fixture_bytes(floating), false,
       "TIFF photograph t.tif is a picture of floating-point samples; only RGB and grey "
       "photographs of 8 or 16 bits are read\n"},
      {"signed samples", tiff_fixture_bytes(is_signed), false,
       "TIFF photograph t.tif is a picture of signed or complex samples; only RGB and grey "
       "photographs of 8 or 16 bits are read\n"},
      {"nine samples a pixel", tiff_fixture_bytes(many_samples), false,
       "TIFF photograph t.tif is a picture of 9 samples a pixel; only RGB and grey photographs "
       "of 8 or 16 bits are read\n"},
      {"only a header", good.substr(0, 8), false, "TIFF photograph t.tif cannot be decoded: "},
      {"garbled LZW data", garbled, true,
       "TIFF photograph t.tif cannot be decoded: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::internal::CaptureStdout();
    TiffPhotograph* tiff = open_bytes(c.bytes);
    Photograph photograph;
    if (c.opens) {
      ASSERT_NE(tiff, nullptr);
      EXPECT_FALSE(decode_tiff_photograph(tiff, photograph));
      close_tiff_photograph(tiff);
    } else {
      EXPECT_EQ(tiff, nullptr);
    }
    const std::string message = testing::internal::GetCapturedStdout();
    EXPECT_EQ(message.substr(0, std::string(c.message).size()), c.message) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
  }
}
