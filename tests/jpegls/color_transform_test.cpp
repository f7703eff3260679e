// Colour transforms: the pixel rules of each transform, exact inversion of
// the lossless ones over every 8-bit colour, transform 5's parameter block,
// and colour-transformed and subsampled images through the whole codec,
// cross-checked with CharLS where it has the transform.
#include "jpegls/color_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <vector>

#include "jls_harness.h"
#include "support/files.h"

namespace {

struct CodecOwner {
  JlsCodec* codec = JPEGLS_Create();
  std::string messages;
  CodecOwner() {
    JPEGLS_SetMessageHandler(
        codec, [](void* user, const char* text) { *static_cast<std::string*>(user) += text; },
        &messages);
  }
  ~CodecOwner() { JPEGLS_Destroy(codec); }
};

JlsScanInfo scan_with(int transform) {
  JlsScanInfo scan = JPEGLS_DefaultInfo().scan[0];
  scan.color_transform = transform;
  return scan;
}

TEST(JlsColorTransform, PixelRulesOfEachTransform) {
  struct Case {
    int transform;
    std::array<std::uint8_t, 3> rgb;
    std::array<std::uint8_t, 3> stored;
  };
  // Stored values worked by hand with A = 256, H = 128:
  // 1: (10 - 200 + 128) mod 256 = 194, (30 - 200 + 128) mod 256 = 214.
  // 2: (0 - 255 + 128) mod 256 = 129, (255 - 127 + 128) mod 256 = 0.
  // 3: U = 214, V = 194, Y = (408 >> 2) + 200 - 64 = 238.
  // 4: grey stays grey with both chroma values at 127.
  const Case cases[] = {
      {1, {10, 200, 30}, {194, 200, 214}},
      {2, {0, 255, 255}, {129, 255, 0}},
      {3, {10, 200, 30}, {238, 214, 194}},
      {4, {128, 128, 128}, {128, 127, 127}},
  };
  CodecOwner owner;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.transform);
    const JlsScanInfo scan = scan_with(c.transform);
    std::array<std::uint8_t, 3> pixel = c.rgb;
    ASSERT_EQ(forward_color_transform(owner.codec, scan, pixel.data(), 1, 3, 1), 1);
    EXPECT_EQ(pixel, c.stored);
    std::array<std::uint8_t, 3> restored{};
    ASSERT_EQ(inverse_color_transform(owner.codec, scan, pixel.data(), restored.data(), 1, 3, 1),
              1);
    EXPECT_EQ(restored, c.rgb);
  }
  EXPECT_EQ(owner.messages, "");
}

// One line per red value: all 65536 green-blue pairs.
TEST(JlsColorTransform, LosslessTransformsInvertEveryColour) {
  CodecOwner owner;
  std::vector<std::uint8_t> original(65536 * 3);
  std::vector<std::uint8_t> line(original.size());
  for (int transform = 1; transform <= 3; ++transform) {
    SCOPED_TRACE(transform);
    const JlsScanInfo scan = scan_with(transform);
    int wrong = 0;
    for (int r = 0; r < 256; ++r) {
      for (int gb = 0; gb < 65536; ++gb) {
        original[3 * gb] = static_cast<std::uint8_t>(r);
        original[3 * gb + 1] = static_cast<std::uint8_t>(gb >> 8);
        original[3 * gb + 2] = static_cast<std::uint8_t>(gb);
      }
      line = original;
      forward_color_transform(owner.codec, scan, line.data(), 65536, 3, 1);
      inverse_color_transform(owner.codec, scan, line.data(), line.data(), 65536, 3, 1);
      wrong += line != original;
    }
    EXPECT_EQ(wrong, 0);
  }
}

// Transform 4 is lossy: the round trip stays within a few levels.
TEST(JlsColorTransform, LossyYCbCrStaysClose) {
  CodecOwner owner;
  const JlsScanInfo scan = scan_with(4);
  int worst = 0;
  for (int r = 0; r < 256; r += 5) {
    for (int g = 0; g < 256; g += 3) {
      for (int b = 0; b < 256; b += 7) {
        std::uint8_t p[3] = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                             static_cast<std::uint8_t>(b)};
        forward_color_transform(owner.codec, scan, p, 1, 3, 1);
        inverse_color_transform(owner.codec, scan, p, p, 1, 3, 1);
        worst = std::max({worst, std::abs(p[0] - r), std::abs(p[1] - g), std::abs(p[2] - b)});
      }
    }
  }
  EXPECT_LE(worst, 3);
}

JlsScanInfo matrix_scan() {
  JlsScanInfo scan = scan_with(kMatrixTransform);
  const int c[3][3] = {{0, -1, 3}, {70000, 0, 0}, {5, -200, 0}};
  const int shifts[3] = {0, 16, 3};
  const int offsets[3] = {1, 0, 1};
  for (int i = 0; i < 3; ++i) {
    scan.transform_shift[i] = shifts[i];
    scan.transform_offset[i] = offsets[i];
    for (int j = 0; j < 3; ++j) scan.transform_matrix[i][j] = c[i][j];
  }
  return scan;
}

// Bits per component: flag and shift (6), and per other coefficient its
// unary high part, stop bit, low bits and sign when nonzero.
//   0: s 0; -1: 1+1+0+1, 3: 3+1+0+1       -> 6 + 3 + 5 = 14
//   1: s 16; 70000 = 1 << 16 | 4464: 1+1+16+1, 0: 0+1+16+0 -> 6 + 19 + 17 = 42
//   2: s 3; 5: 0+1+3+1, -200: 25+1+3+1    -> 6 + 5 + 30 = 41
// 97 bits: 13 bytes (none 0xFF, so no stuffing).
TEST(JlsColorTransform, MatrixParameterBlockRoundTrips) {
  const JlsScanInfo scan = matrix_scan();
  const std::vector<std::uint8_t> block = pack_matrix_parameters(scan, 3);
  EXPECT_EQ(block.size(), 13u);
  JlsScanInfo read = scan_with(kMatrixTransform);
  ASSERT_TRUE(unpack_matrix_parameters(block.data(), static_cast<int>(block.size()), 3, read));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(read.transform_shift[i], scan.transform_shift[i]);
    EXPECT_EQ(read.transform_offset[i], scan.transform_offset[i]);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(read.transform_matrix[i][j], scan.transform_matrix[i][j]);
  }
  // Cut short, the block is refused.
  EXPECT_FALSE(unpack_matrix_parameters(block.data(), 10, 3, read));

  // The first component by hand: out0 = stored0 + (-1 * stored1 + 3 *
  // stored2) - 128, all mod 256.
  CodecOwner owner;
  std::uint8_t stored[3] = {10, 20, 30};
  std::uint8_t out[3];
  ASSERT_EQ(inverse_color_transform(owner.codec, scan, stored, out, 1, 3, 1), 1);
  EXPECT_EQ(out[0], (10 - 20 + 90 - 128) & 255);

  std::mt19937 rng(5);
  std::vector<std::uint8_t> line(3 * 4096);
  for (std::uint8_t& v : line) v = static_cast<std::uint8_t>(rng());
  const std::vector<std::uint8_t> original = line;
  ASSERT_EQ(forward_color_transform(owner.codec, scan, line.data(), 4096, 3, 1), 1);
  EXPECT_NE(line, original);
  inverse_color_transform(owner.codec, scan, line.data(), line.data(), 4096, 3, 1);
  EXPECT_EQ(line, original);
}

TEST(JlsColorTransform, UnavailableTransformsFailWithAMessage) {
  std::uint8_t p[6] = {1, 2, 3, 4, 5, 6};
  {
    CodecOwner owner;
    EXPECT_EQ(forward_color_transform(owner.codec, scan_with(6), p, 1, 3, 1), 0);
    EXPECT_EQ(owner.messages, "unknown color xform : 6\n");
  }
  {
    CodecOwner owner;
    EXPECT_EQ(inverse_color_transform(owner.codec, scan_with(1), p, p, 1, 3, 2), 0);
    EXPECT_EQ(owner.messages, "16b color xforms not implemented yet!\n");
  }
  {
    CodecOwner owner;
    EXPECT_EQ(forward_color_transform(owner.codec, scan_with(2), p, 3, 2, 1), 0);
    EXPECT_NE(owner.messages, "");
  }
  EXPECT_EQ(p[0], 1);  // left as it was
}

TestImage random_rgb(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  TestImage image;
  image.width = width;
  image.height = height;
  image.components = 3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int v = (x * 3 + y * 2 + c * 40) % 256 + static_cast<int>(rng() % 9) - 4;
        image.samples.push_back(static_cast<std::uint16_t>(std::clamp(v, 0, 255)));
      }
    }
  }
  return image;
}

// Our streams with each transform, in every interleave mode, decode
// exactly with our decoder and, for HP's transforms 1 to 3 on interleaved
// scans, with CharLS; CharLS's transformed streams (their "mrfx" segment
// comes before the frame) decode exactly with ours.
TEST(JlsColorTransform, TransformedImagesRoundTripThroughBothCodecs) {
  const TestImage image = random_rgb(67, 41, 3);
  for (int transform : {1, 2, 3, 5}) {
    for (int interleave : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "transform " << transform << " ilv " << interleave);
      JlsInfo info = info_for(image, interleave, 0);
      info.scan[0].color_transform = transform;
      if (transform == kMatrixTransform)
        info.scan[0] = [&] {
          JlsScanInfo scan = matrix_scan();
          scan.interleave = interleave;
          scan.components = 3;
          return scan;
        }();
      const EncodeOutcome ours = encode_jls(image, info);
      ASSERT_TRUE(ours.encoded) << ours.messages;
      const DecodeOutcome back = decode_jls(ours.stream);
      ASSERT_TRUE(back.decoded) << back.messages;
      EXPECT_EQ(back.info.scan[0].color_transform, transform);
      EXPECT_EQ(max_difference(back.image, image), 0);
      // CharLS has no matrix transform and no transform of separate planes.
      if (transform == kMatrixTransform || interleave == 0) continue;
      TestImage decoded;
      ASSERT_TRUE(charls_decode(ours.stream, decoded));
      EXPECT_EQ(max_difference(decoded, image), 0);
      const DecodeOutcome theirs =
          decode_jls(charls_encode(image, interleave, 0, -1, -1, -1, 0, transform));
      ASSERT_TRUE(theirs.decoded) << theirs.messages;
      EXPECT_EQ(max_difference(theirs.image, image), 0);
    }
  }
}

// test8 coded with the sampling of t8sse (red full, green 1 x 4, blue 2 x
// 2): planes keep every ratio-th sample, and decoding repeats it over its
// block. Expected samples are picked from the source here.
TEST(JlsColorTransform, SubsampledImagesEncodeAndDecode) {
  const TestImage image = read_pnm(testdata_path("jpegls/conformance/test8.ppm"));
  for (int near : {0, 2}) {
    SCOPED_TRACE(near);
    JlsInfo info = info_for(image, 1, near);
    const int sampling[3][2] = {{4, 4}, {4, 1}, {2, 2}};
    for (int k = 0; k < 3; ++k) {
      info.sampX[k] = sampling[k][0];
      info.sampY[k] = sampling[k][1];
    }
    const EncodeOutcome ours = encode_jls(image, info);
    ASSERT_TRUE(ours.encoded) << ours.messages;
    const DecodeOutcome back = decode_jls(ours.stream);
    ASSERT_TRUE(back.decoded) << back.messages;
    EXPECT_EQ(back.info.scans, 3);
    const int ratio[3][2] = {{1, 1}, {1, 4}, {2, 2}};
    int worst = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        for (int k = 0; k < 3; ++k) {
          const int sx = x / ratio[k][0] * ratio[k][0];
          const int sy = y / ratio[k][1] * ratio[k][1];
          const int expected = image.samples[(sy * image.width + sx) * 3 + k];
          const int got = back.image.samples[(y * image.width + x) * 3 + k];
          worst = std::max(worst, std::abs(expected - got));
        }
      }
    }
    EXPECT_LE(worst, near);
  }
}

}  // namespace
