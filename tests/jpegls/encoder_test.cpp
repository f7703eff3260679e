// Our encoder reproduces the conformance streams byte for byte from their
// source images and parameters.
#include <gtest/gtest.h>

#include "jls_harness.h"
#include "support/files.h"

namespace {

struct EncoderCase {
  const char* image;
  const char* stream;
  int interleave;
  int near;
  int threshold;  // T1 = T2 = T3, or -1 for the defaults
  int reset;
};

TEST(JlsEncoder, ReproducesTheConformanceStreams) {
  const EncoderCase cases[] = {
      {"test8.ppm", "t8c0e0.jls", 0, 0, -1, 64},   {"test8.ppm", "t8c0e3.jls", 0, 3, -1, 64},
      {"test8.ppm", "t8c1e0.jls", 1, 0, -1, 64},   {"test8.ppm", "t8c2e0.jls", 2, 0, -1, 64},
      {"test8.ppm", "t8c1e3.jls", 1, 3, -1, 64},   {"test8.ppm", "t8c2e3.jls", 2, 3, -1, 64},
      {"test16.pgm", "t16e0.jls", 0, 0, -1, 64},   {"test8bs2.pgm", "t8nde0.jls", 0, 0, 9, 31},
      {"test8bs2.pgm", "t8nde3.jls", 0, 3, 9, 31},
  };
  for (const EncoderCase& c : cases) {
    SCOPED_TRACE(c.stream);
    const TestImage image = read_pnm(testdata_path(std::string("jpegls/conformance/") + c.image));
    JlsInfo info = info_for(image, c.interleave, c.near);
    info.scan[0].t1 = info.scan[0].t2 = info.scan[0].t3 = c.threshold;
    info.scan[0].reset = c.reset;
    const EncodeOutcome out = encode_jls(image, info);
    ASSERT_TRUE(out.encoded) << out.messages;
    const std::string expected =
        read_file_bytes(testdata_path(std::string("jpegls/conformance/") + c.stream));
    ASSERT_EQ(out.stream.size(), expected.size());
    EXPECT_TRUE(out.stream == expected);
  }
}

// 256 lines with an interval of 7 carry 36 restart markers per scan,
// RST0..RST7 in turn, none after the last line; the stream decodes to the
// image.
TEST(JlsEncoder, PlacesRestartMarkersAfterEveryInterval) {
  const TestImage image = read_pnm(testdata_path("jpegls/conformance/test8.ppm"));
  for (int interleave : {0, 1, 2}) {
    SCOPED_TRACE(interleave);
    // Plane interleaving: three scans, each with its own markers.
    const std::size_t scans = interleave == 0 ? 3 : 1;
    JlsInfo info = info_for(image, interleave, 0);
    info.restart = 1;
    info.restart_interval = 7;
    const EncodeOutcome out = encode_jls(image, info);
    ASSERT_TRUE(out.encoded) << out.messages;
    std::vector<int> numbers;
    for (std::size_t i = 0; i + 1 < out.stream.size(); ++i) {
      const auto byte = static_cast<std::uint8_t>(out.stream[i + 1]);
      if (static_cast<std::uint8_t>(out.stream[i]) == 0xFF && byte >= 0xD0 && byte <= 0xD7) {
        numbers.push_back(byte - 0xD0);
      }
    }
    ASSERT_EQ(numbers.size(), 36u * scans);
    for (std::size_t k = 0; k < numbers.size(); ++k) {
      EXPECT_EQ(numbers[k], static_cast<int>(k % 36 % 8));
    }
    const DecodeOutcome decoded = decode_jls(out.stream);
    ASSERT_TRUE(decoded.decoded) << decoded.messages;
    EXPECT_EQ(max_difference(decoded.image, image), 0);
    TestImage by_charls;
    ASSERT_TRUE(charls_decode(out.stream, by_charls));
    EXPECT_EQ(max_difference(by_charls, image), 0);
  }
}

// A default 8-bit grey image is SOI, frame (length 11, P = 8), SOS
// (length 8), data and EOI: no LSE, no restart, no application segment.
TEST(JlsEncoder, DefaultGreyImageHasOnlyTheNecessarySegments) {
  TestImage image;
  image.width = 3;
  image.height = 2;
  image.samples = {0, 0, 0, 0, 0, 0};
  const EncodeOutcome out = encode_jls(image, info_for(image, 1, 0));
  ASSERT_TRUE(out.encoded);
  const std::string header(
      "\xFF\xD8\xFF\xF7\x00\x0B\x08\x00\x02\x00\x03\x01\x01\x11\x00"
      "\xFF\xDA\x00\x08\x01\x01\x00\x00\x00\x00",
      25);
  ASSERT_GT(out.stream.size(), header.size() + 2);
  EXPECT_EQ(out.stream.substr(0, header.size()), header);
  EXPECT_EQ(out.stream.substr(out.stream.size() - 2), "\xFF\xD9");
  // Two all-zero lines are two runs to the end of the line: 1-bits only.
  EXPECT_EQ(out.stream.size(), header.size() + 1 + 2);
}

}  // namespace
