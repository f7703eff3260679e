// The T.87 conformance streams and other encoders' streams decode to their
// reference images, and our encoder reproduces the conformance streams.
#include <gtest/gtest.h>

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

// Colour-transformed streams are refused rather than handed out with the
// transformed samples.
TEST(JlsConformance, ColourTransformedStreamsAreRefused) {
  for (const char* name : {"banny-xform1.jls", "banny-xform2.jls", "banny-xform3.jls"}) {
    SCOPED_TRACE(name);
    const DecodeOutcome out =
        decode_jls(read_file_bytes(testdata_path(std::string("jpegls/extra/") + name)));
    EXPECT_FALSE(out.started);
    EXPECT_NE(out.messages.find("error : color xform "), std::string::npos) << out.messages;
  }
}

}  // namespace
