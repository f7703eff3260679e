// Broken streams end in a clean failure with a message: the fuzzed streams
// of another decoder, every truncation of a valid stream, and byte flips.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "jls_harness.h"
#include "support/files.h"

namespace {

// A small colour image coded by CharLS, pixel interleaved, with restart
// markers so that truncation also hits the marker handling.
std::string small_valid_stream() {
  TestImage image;
  image.width = 23;
  image.height = 9;
  image.components = 3;
  for (int i = 0; i < image.width * image.height * 3; ++i) {
    image.samples.push_back(static_cast<std::uint16_t>((i * 37 + i / 69 * 11) % 256 / (i % 5 + 1)));
  }
  JlsInfo info = info_for(image, 2, 0);
  info.restart = 1;
  info.restart_interval = 2;
  return encode_jls(image, info).stream;
}

TEST(JlsRobustness, MalformedStreamsFailWithAMessage) {
  const std::string directory = testdata_path("jpegls/malformed");
  int streams = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    SCOPED_TRACE(entry.path().string());
    const DecodeOutcome out = decode_jls(read_file_bytes(entry.path().string()));
    EXPECT_FALSE(out.decoded);
    EXPECT_NE(out.messages, "");
    ++streams;
  }
  EXPECT_EQ(streams, 4);
}

TEST(JlsRobustness, EveryTruncationFailsCleanly) {
  const std::string stream = small_valid_stream();
  ASSERT_GT(stream.size(), 100u);
  ASSERT_TRUE(decode_jls(stream).decoded);
  // Without its last two bytes only the end-of-image marker is missing,
  // which is tolerated with a warning.
  for (std::size_t length = 0; length + 2 < stream.size(); ++length) {
    SCOPED_TRACE(length);
    const DecodeOutcome out = decode_jls(stream.substr(0, length));
    EXPECT_FALSE(out.decoded);
    EXPECT_NE(out.messages, "");
  }
}

TEST(JlsRobustness, ByteFlipsNeverCrash) {
  const std::string stream = small_valid_stream();
  std::mt19937 rng(7);
  int failures = 0;
  for (int i = 0; i < 400; ++i) {
    std::string broken = stream;
    const int flips = 1 + static_cast<int>(rng() % 3);
    for (int f = 0; f < flips; ++f)
      broken[rng() % broken.size()] ^= static_cast<char>(1 + rng() % 255);
    const DecodeOutcome out = decode_jls(broken);
    if (!out.decoded) {
      ++failures;
      EXPECT_NE(out.messages, "");
    }
  }
  // Flips in the entropy-coded data often still decode (to other samples).
  EXPECT_GT(failures, 0);
}

// Random descriptions given to the encoder: an encoded stream that
// decodes, or a refusal with a message.
TEST(JlsRobustness, RandomEncoderDescriptionsEncodeOrAreRefused) {
  std::mt19937 rng(11);
  const auto pick = [&rng](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };
  int encoded = 0;
  for (int i = 0; i < 300; ++i) {
    TestImage image;
    image.width = pick(1, 9);
    image.height = pick(1, 9);
    image.components = pick(1, 4);
    image.bits = pick(2, 16);
    for (int s = 0; s < image.width * image.height * image.components; ++s) {
      image.samples.push_back(static_cast<std::uint16_t>(rng()));
    }
    JlsInfo info = info_for(image, pick(0, 2), pick(-1, 12));
    if (pick(0, 3) == 0) info.alphabet = pick(-5, 1 << 20);
    if (pick(0, 3) == 0) info.scan[0].alphabet = 1 << pick(1, 17);
    if (pick(0, 3) == 0) info.scan[0].components = pick(0, 6);
    if (pick(0, 3) == 0) info.sampX[pick(0, 3)] = pick(0, 16);
    if (pick(0, 3) == 0) info.scan[0].t1 = pick(-1, 300);
    if (pick(0, 3) == 0) info.scan[0].reset = pick(-1, 70000);
    if (pick(0, 3) == 0) info.scan[0].shift = pick(-1, 16);
    if (pick(0, 5) == 0) {
      info.restart = 1;
      info.restart_interval = pick(-2, 70000);
    }
    if (pick(0, 5) == 0) {
      info.scan[0].map.present = 1;
      info.scan[0].map.count = pick(-1, 300);
      info.scan[0].map.entry_width = pick(0, 4);
    }
    const EncodeOutcome out = encode_jls(image, info);
    if (out.encoded) {
      ++encoded;
      const DecodeOutcome back = decode_jls(out.stream);
      EXPECT_TRUE(back.decoded) << back.messages;
    } else {
      EXPECT_NE(out.messages, "");
    }
  }
  EXPECT_GT(encoded, 10);
}

}  // namespace
