// The T.87 conformance streams and other encoders' streams decode to their
// reference images, and our encoder reproduces the conformance streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "jls_harness.h"
#include "support/files.h"

namespace {

struct ConformanceCase {
  const char* stream;
  const char* reference;
  int near;  // allowed difference
};

TEST(JlsConformance, StreamsDecodeToTheirReferenceImages) {
  const ConformanceCase cases[] = {
      {"conformance/t8c0e0.jls", "conformance/test8.ppm", 0},
      {"conformance/t8c0e3.jls", "conformance/test8.ppm", 3},
      {"conformance/t8c1e0.jls", "conformance/test8.ppm", 0},
      {"conformance/t8c2e0.jls", "conformance/test8.ppm", 0},
      {"conformance/t8c1e3.jls", "conformance/test8.ppm", 3},
      {"conformance/t8c2e3.jls", "conformance/test8.ppm", 3},
      {"conformance/t16e0.jls", "conformance/test16.pgm", 0},
      {"conformance/t16e3.jls", "conformance/t16e3.pgm", 0},
      {"conformance/t16e3.jls", "conformance/test16.pgm", 3},
      {"conformance/t8nde0.jls", "conformance/test8bs2.pgm", 0},
      {"conformance/t8nde3.jls", "conformance/test8bs2.pgm", 3},
      {"extra/tulips-gray-8bit-512-512-other-encoder.jls", "extra/tulips-gray-8bit-512-512.pgm", 0},
      {"extra/test8_ilv_none_rm_7.jls", "conformance/test8.ppm", 0},
      {"extra/test8_ilv_line_rm_7.jls", "conformance/test8.ppm", 0},
      {"extra/test8_ilv_sample_rm_7.jls", "conformance/test8.ppm", 0},
      {"extra/test16_rm_5.jls", "conformance/test16.pgm", 0},
      {"extra/banny.jls", "extra/banny.ppm", 0},
  };
  for (const ConformanceCase& c : cases) {
    SCOPED_TRACE(c.stream);
    const DecodeOutcome out =
        decode_jls(read_file_bytes(testdata_path(std::string("jpegls/") + c.stream)));
    EXPECT_TRUE(out.decoded) << out.messages;
    EXPECT_EQ(out.messages, "");
    const TestImage reference = read_pnm(testdata_path(std::string("jpegls/") + c.reference));
    const int difference = max_difference(out.image, reference);
    EXPECT_GE(difference, 0);
    EXPECT_LE(difference, c.near);
  }
}

// HP's colour transforms 1 to 3, signalled in an "mrfx" segment, are
// undone exactly.
TEST(JlsConformance, ColourTransformedStreamsDecodeExactly) {
  const TestImage reference = read_pnm(testdata_path("jpegls/extra/banny.ppm"));
  for (const char* name : {"banny-xform1.jls", "banny-xform2.jls", "banny-xform3.jls"}) {
    SCOPED_TRACE(name);
    const DecodeOutcome out =
        decode_jls(read_file_bytes(testdata_path(std::string("jpegls/extra/") + name)));
    EXPECT_TRUE(out.decoded) << out.messages;
    EXPECT_NE(out.info.scan[0].color_transform, 0);
    EXPECT_EQ(max_difference(out.image, reference), 0);
  }
}

// Component `component` of `image` against a reference plane that is
// subsampled by `ratio_x` x `ratio_y`: each reference sample must cover its
// whole block of the full-size image.
int max_difference_replicated(const TestImage& image, int component, const TestImage& plane,
                              int ratio_x, int ratio_y) {
  int worst = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int ours = image.samples[(y * image.width + x) * image.components + component];
      const int theirs = plane.samples[(y / ratio_y) * plane.width + x / ratio_x];
      worst = std::max(worst, std::abs(ours - theirs));
    }
  }
  return worst;
}

// t8sse*: red at full size, green subsampled 4x vertically, blue 2x both
// ways, line interleaved; the decoded image repeats each subsampled sample
// over its block.
TEST(JlsConformance, SubsampledComponentsDecodeReplicatedToFullSize) {
  const TestImage red = read_pnm(testdata_path("jpegls/conformance/test8r.pgm"));
  const TestImage green = read_pnm(testdata_path("jpegls/conformance/test8gr4.pgm"));
  const TestImage blue = read_pnm(testdata_path("jpegls/conformance/test8bs2.pgm"));
  ASSERT_EQ(green.height, 64);
  ASSERT_EQ(blue.width, 128);
  for (const auto& [name, near] : {std::pair{"t8sse0.jls", 0}, std::pair{"t8sse3.jls", 3}}) {
    SCOPED_TRACE(name);
    const DecodeOutcome out =
        decode_jls(read_file_bytes(testdata_path(std::string("jpegls/conformance/") + name)));
    ASSERT_TRUE(out.decoded) << out.messages;
    ASSERT_EQ(out.image.width, 256);
    ASSERT_EQ(out.image.height, 256);
    ASSERT_EQ(out.image.components, 3);
    EXPECT_LE(max_difference_replicated(out.image, 0, red, 1, 1), near);
    EXPECT_LE(max_difference_replicated(out.image, 1, green, 1, 4), near);
    EXPECT_LE(max_difference_replicated(out.image, 2, blue, 2, 2), near);
  }
}

}  // namespace
