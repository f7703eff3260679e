#include "ptm/jpegls_plane.h"

#include <charls/charls.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes noise_plane(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bytes plane(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < plane.size(); ++i) {
    plane[i] = static_cast<std::uint8_t>(i % width * 3 + random() % 16);
  }
  return plane;
}

// CharLS decodes our plane streams to the plane (within NEAR), and ours
// decodes CharLS's: the planes are plain T.87 streams.
Bytes charls_decode_plane(const Bytes& stream, std::size_t bytes) {
  Bytes plane(bytes);
  charls_jpegls_decoder* decoder = charls_jpegls_decoder_create();
  EXPECT_EQ(charls_jpegls_decoder_set_source_buffer(decoder, stream.data(), stream.size()),
            charls_jpegls_errc{});
  EXPECT_EQ(charls_jpegls_decoder_read_header(decoder), charls_jpegls_errc{});
  EXPECT_EQ(charls_jpegls_decoder_decode_to_buffer(decoder, plane.data(), plane.size(), 0),
            charls_jpegls_errc{});
  charls_jpegls_decoder_destroy(decoder);
  return plane;
}

int max_difference(const Bytes& a, const Bytes& b) {
  int worst = 0;
  for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

TEST(JpegLsPlane, PlanesRoundTripLosslessAndWithinNear) {
  const int width = 77;
  const int height = 23;
  const Bytes plane = noise_plane(width, height, 1);
  for (int near : {0, 1, 5}) {
    SCOPED_TRACE(near);
    Bytes stream;
    ASSERT_TRUE(encode_jpegls_plane(plane.data(), width, height, near, stream));
    Bytes decoded(plane.size(), 0xAA);
    EXPECT_EQ(decode_jpegls_plane(stream.data(), stream.size(), decoded.data(), width, height),
              width * height);
    EXPECT_LE(max_difference(decoded, plane), near);
    EXPECT_EQ(charls_decode_plane(stream, plane.size()), decoded);
  }
}

// The destination holds exactly the plane (ASan would see one byte more);
// whatever the stream, nothing is written outside it.
TEST(JpegLsPlane, MisfittingAndBrokenStreamsStayInsideThePlane) {
  const int width = 16;
  const int height = 8;
  const Bytes plane = noise_plane(width, height, 2);
  Bytes good;
  ASSERT_TRUE(encode_jpegls_plane(plane.data(), width, height, 0, good));
  Bytes wrong_size;
  ASSERT_TRUE(encode_jpegls_plane(plane.data(), width / 2, height * 2, 0, wrong_size));
  const struct {
    const char* name;
    Bytes stream;
    int max_written;  // bytes the decode may deliver
  } cases[] = {
      {"other shape", wrong_size, 0},
      {"truncated", Bytes(good.begin(), good.begin() + good.size() / 2), width * height - 1},
      {"header only", Bytes(good.begin(), good.begin() + 20), 0},
      {"garbage", Bytes(100, 0x5A), 0},
      // Three plane-interleaved components of 65535 x 65535: refused before
      // the codec would decode 12 GB into memory.
      {"huge colour frame",
       {0xFF, 0xD8, 0xFF, 0xF7, 0x00, 0x11, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x03,
        0x01, 0x11, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00, 0xFF, 0xDA, 0x00,
        0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes destination(plane.size(), 0xAA);
    testing::internal::CaptureStderr();
    const int written =
        decode_jpegls_plane(c.stream.data(), c.stream.size(), destination.data(), width, height);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_GE(written, 0);
    EXPECT_LE(written, c.max_written);
    EXPECT_NE(messages, "");
    // Bytes beyond the delivered lines are untouched.
    for (std::size_t i = static_cast<std::size_t>(written); i < destination.size(); ++i) {
      ASSERT_EQ(destination[i], 0xAA) << i;
    }
  }
}

// Streams of three components or sixteen bits are not planes of bytes.
TEST(JpegLsPlane, OtherImagesAreNotPlanes) {
  for (const auto& [components, bits] : {std::pair{3, 8}, std::pair{1, 12}}) {
    const charls_frame_info frame{8, 8, bits, components};
    const std::vector<std::uint16_t> samples(64 * components, 100);
    Bytes source;
    for (std::uint16_t v : samples) {
      source.push_back(static_cast<std::uint8_t>(v));
      if (bits > 8) source.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    Bytes stream(4096);
    std::size_t written = 0;
    charls_jpegls_encoder* encoder = charls_jpegls_encoder_create();
    ASSERT_EQ(charls_jpegls_encoder_set_frame_info(encoder, &frame), charls_jpegls_errc{});
    if (components == 3) {
      ASSERT_EQ(charls_jpegls_encoder_set_interleave_mode(encoder,
                                                          static_cast<charls_interleave_mode>(1)),
                charls_jpegls_errc{});
    }
    ASSERT_EQ(charls_jpegls_encoder_set_destination_buffer(encoder, stream.data(), stream.size()),
              charls_jpegls_errc{});
    ASSERT_EQ(charls_jpegls_encoder_encode_from_buffer(encoder, source.data(), source.size(), 0),
              charls_jpegls_errc{});
    ASSERT_EQ(charls_jpegls_encoder_get_bytes_written(encoder, &written), charls_jpegls_errc{});
    charls_jpegls_encoder_destroy(encoder);
    stream.resize(written);
    Bytes destination(64, 0xAA);
    testing::internal::CaptureStderr();
    EXPECT_EQ(decode_jpegls_plane(stream.data(), stream.size(), destination.data(), 8, 8), 0);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("does not fit a 8 x 8 plane of bytes"), std::string::npos) << messages;
    EXPECT_EQ(destination, Bytes(64, 0xAA));
  }
}

}  // namespace
