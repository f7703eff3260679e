#include "imageio/colour_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "imageio/photograph_file.h"
#include "support/icc_fixture.h"
#include "support/jpeg_fixture.h"
#include "support/png_fixture.h"
#include "support/tiff_fixture.h"

namespace {

// ---- Adobe RGB (1998) to sRGB from first principles ----

using Matrix = std::array<std::array<double, 3>, 3>;

Matrix inverse(const Matrix& m) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  Matrix r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int i1 = (j + 1) % 3, i2 = (j + 2) % 3, j1 = (i + 1) % 3, j2 = (i + 2) % 3;
      r[i][j] = (m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1]) / det;
    }
  }
  return r;
}

Matrix product(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
    }
  }
  return r;
}

// Linear RGB to XYZ of a space with these primaries' and white's
// chromaticities: the primaries' XYZ (Y = 1) as columns, each scaled so
// that RGB (1, 1, 1) gives the white.
Matrix rgb_to_xyz(const double primaries[3][2], const double white[2]) {
  Matrix p;
  for (int c = 0; c < 3; ++c) {
    const double x = primaries[c][0], y = primaries[c][1];
    p[0][c] = x / y;
    p[1][c] = 1.0;
    p[2][c] = (1.0 - x - y) / y;
  }
  const double w[3] = {white[0] / white[1], 1.0, (1.0 - white[0] - white[1]) / white[1]};
  const Matrix pi = inverse(p);
  for (int c = 0; c < 3; ++c) {
    const double scale = pi[c][0] * w[0] + pi[c][1] * w[1] + pi[c][2] * w[2];
    for (int r = 0; r < 3; ++r) p[r][c] *= scale;
  }
  return p;
}

// An Adobe RGB colour (each of 0..1) as sRGB in 0..1: both spaces have the
// D65 white, so XYZ passes between them unadapted; colours outside sRGB
// are clipped, as the perceptual intent of two matrix profiles does.
std::array<double, 3> adobe_to_srgb(const std::array<double, 3>& adobe) {
  const double d65[2] = {0.3127, 0.3290};
  const double adobe_primaries[3][2] = {{0.64, 0.33}, {0.21, 0.71}, {0.15, 0.06}};
  const double srgb_primaries[3][2] = {{0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}};
  const Matrix to_srgb =
      product(inverse(rgb_to_xyz(srgb_primaries, d65)), rgb_to_xyz(adobe_primaries, d65));
  std::array<double, 3> out;
  for (int i = 0; i < 3; ++i) {
    double linear = 0;
    for (int k = 0; k < 3; ++k) linear += to_srgb[i][k] * std::pow(adobe[k], 563.0 / 256.0);
    linear = std::clamp(linear, 0.0, 1.0);
    // The sRGB transfer function (IEC 61966-2-1).
    out[i] = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  }
  return out;
}

// Adobe RGB colours inside and (the green) outside sRGB, each a flat 8 x 8
// block so that JPEG keeps them nearly exact. (105, 180, 55) lies just
// inside sRGB's gamut, where a transform precalculated on a grid and
// interpolated across the clipping errs (LittleCMS's 16-bit one by 1592
// of 65535 in red).
const std::vector<std::array<int, 3>> adobe_colours = {
    {0, 0, 0}, {255, 255, 255}, {128, 128, 128}, {200, 100, 50}, {90, 40, 160}, {150, 60, 60},
    {105, 180, 55}, {30, 200, 90}};
constexpr int block = 8;

// The colours side by side, one block each, top row first.
std::vector<std::uint16_t> colour_blocks(int scale) {
  const int width = block * static_cast<int>(adobe_colours.size());
  std::vector<std::uint16_t> samples;
  for (int y = 0; y < block; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) samples.push_back(static_cast<std::uint16_t>(adobe_colours[x / block][c] * scale));
    }
  }
  return samples;
}

// The sample of channel c at the centre of colour k's block.
int centre_sample(const Photograph& p, std::size_t k, int c) {
  const std::size_t at = (static_cast<std::size_t>(block / 2) * p.width + k * block + block / 2) * 3 + c;
  return p.bits == 16 ? p.samples16[at] : p.samples8[at];
}

Photograph decoded(const std::string& bytes, const char* name, bool as_stored = false) {
  PhotographRequest request;
  request.as_stored = as_stored;
  Photograph photograph;
  EXPECT_EQ(decode_photograph(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                              name, request, photograph),
            PhotographRead::read);
  return photograph;
}

std::string adobe_jpeg(std::vector<std::string> app2_payloads) {
  JpegFixture jpeg;
  jpeg.width = block * static_cast<int>(adobe_colours.size());
  jpeg.height = block;
  for (std::uint16_t v : colour_blocks(1)) jpeg.samples.push_back(static_cast<std::uint8_t>(v));
  jpeg.quality = 100;
  jpeg.full_chroma = true;
  jpeg.app2_payloads = std::move(app2_payloads);
  return jpeg_fixture_bytes(jpeg);
}

}  // namespace

// The tolerances: an 8-bit result is rounded once (half a level) after
// fixed-point arithmetic of 1/16384 of full scale: within one level. A
// 16-bit result is exact but for the profile, which stores each colorant
// to 2^-16 (s15Fixed16): linear light moves by up to about 3e-5, which
// sRGB's curve, 12.92 steep near black, makes 25 of 65535; so 32, an
// eighth of an 8-bit level (an 8-bit path would err by up to 128).
TEST(ColourProfile, AdobeRgbColoursBecomeTheirSrgbValuesAtThePhotographsPrecision) {
  const std::string profile = adobe_rgb_profile_bytes();
  const int width = block * static_cast<int>(adobe_colours.size());

  const PngFixture png{width, block, 2, 8, false, colour_blocks(1), {}};
  TiffFixture tiff;
  tiff.width = width;
  tiff.height = block;
  tiff.bits = 16;
  tiff.samples = colour_blocks(257);
  tiff.compression = 5;
  tiff.icc_profile = profile;
  const struct {
    const char* name;
    std::string bytes;
    int full_scale;
    double tolerance;
  } cases[] = {
      {"adobe.png", png_with_icc_profile(png_fixture_bytes(png), profile), 255, 1.0},
      {"adobe.tif", tiff_fixture_bytes(tiff), 65535, 32.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Photograph photograph = decoded(c.bytes, c.name);
    EXPECT_EQ(photograph.profile, "Adobe RGB (1998)");
    EXPECT_EQ(photograph.bits, c.full_scale == 255 ? 8 : 16);
    for (std::size_t k = 0; k < adobe_colours.size(); ++k) {
      const auto& a = adobe_colours[k];
      const std::array<double, 3> srgb = adobe_to_srgb({a[0] / 255.0, a[1] / 255.0, a[2] / 255.0});
      for (int ch = 0; ch < 3; ++ch) {
        EXPECT_NEAR(centre_sample(photograph, k, ch), srgb[ch] * c.full_scale, c.tolerance)
            << "colour " << a[0] << " " << a[1] << " " << a[2] << " channel " << ch;
      }
    }
  }

  // A JPEG's profile split over three APP2 markers, written out of
  // order: against the exact conversion of what it decodes to.
  std::vector<std::string> parts = icc_app2_payloads(profile, 3);
  std::swap(parts[0], parts[2]);
  const std::string jpeg = adobe_jpeg(parts);
  const Photograph stored = decoded(jpeg, "adobe.jpg", true);
  const Photograph converted = decoded(jpeg, "adobe.jpg");
  EXPECT_EQ(stored.profile, "");
  EXPECT_EQ(converted.profile, "Adobe RGB (1998)");
  for (std::size_t k = 0; k < adobe_colours.size(); ++k) {
    std::array<double, 3> adobe;
    for (int ch = 0; ch < 3; ++ch) adobe[ch] = centre_sample(stored, k, ch) / 255.0;
    const std::array<double, 3> srgb = adobe_to_srgb(adobe);
    for (int ch = 0; ch < 3; ++ch) {
      EXPECT_NEAR(centre_sample(converted, k, ch), srgb[ch] * 255, 1.0) << "colour " << k;
    }
  }
}

TEST(ColourProfile, AnUnusableProfileIsReportedWithThePhotographsNameAndTheColoursKept) {
  std::string cmyk = adobe_rgb_profile_bytes();
  cmyk.replace(16, 4, "CMYK");  // the header's colour space field
  std::string truncated_marker_set;
  {
    std::vector<std::string> parts = icc_app2_payloads(adobe_rgb_profile_bytes(), 3);
    parts.pop_back();
    truncated_marker_set = adobe_jpeg(parts);
  }
  std::string bad_crc = png_with_icc_profile(
      png_fixture_bytes(
          {block, block, 2, 8, false, std::vector<std::uint16_t>(3 * block * block, 77), {}}),
      adobe_rgb_profile_bytes());
  bad_crc[33 + 8 + 20] ^= 1;  // a byte of the compressed profile
  const struct {
    const char* what;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"a grey profile", adobe_jpeg(icc_app2_payloads(grey_profile_bytes(), 1)),
       "its colour profile is a grey profile, not an RGB one"},
      {"a CMYK profile", adobe_jpeg(icc_app2_payloads(cmyk, 1)),
       "its colour profile is a CMYK profile, not an RGB one"},
      {"bytes that are no profile", adobe_jpeg(icc_app2_payloads(std::string(300, 'x'), 2)),
       "its colour profile cannot be read"},
      {"a marker missing", truncated_marker_set,
       "its ICC profile is split over 3 markers, of which 2 are present"},
      {"a damaged iCCP chunk", bad_crc, "its iCCP chunk fails its CRC check"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Photograph stored = decoded(c.bytes, "shot.jpg", true);
    testing::internal::CaptureStderr();
    const Photograph photograph = decoded(c.bytes, "shot.jpg");
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(message.find("Photograph shot.jpg: "), 0u) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
    EXPECT_NE(message.find("its colours are taken as sRGB"), std::string::npos) << message;
    EXPECT_EQ(photograph.profile, "");
    EXPECT_EQ(photograph.samples8, stored.samples8);

    PhotographRequest quiet;
    quiet.report_profile_problems = false;
    Photograph again;
    testing::internal::CaptureStderr();
    decode_photograph(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size(),
                      "shot.jpg", quiet, again);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  }
}

TEST(ColourProfile, TheConversionIsToldOnceForASetOfPhotographs) {
  const std::string jpeg = adobe_jpeg(icc_app2_payloads(adobe_rgb_profile_bytes(), 1));
  const Photograph converted = decoded(jpeg, "a.jpg");
  const Photograph plain = decoded(adobe_jpeg({}), "b.jpg");
  bool told = false;
  testing::internal::CaptureStderr();
  tell_colour_conversion(plain, "b.jpg", told);
  tell_colour_conversion(converted, "a.jpg", told);
  tell_colour_conversion(converted, "c.jpg", told);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Photographs with a colour profile are converted to sRGB (perceptual intent); the "
            "first is a.jpg, in \"Adobe RGB (1998)\"\n");
  EXPECT_TRUE(told);
}
