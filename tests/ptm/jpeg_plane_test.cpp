#include "ptm/jpeg_plane.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes noise_plane(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  Bytes plane(static_cast<std::size_t>(width) * height);
  for (auto& b : plane) b = static_cast<std::uint8_t>(random());
  return plane;
}

// libjpeg's own stdio source reading the stream through a memory-backed
// FILE: the decoding the memory source must reproduce.
Bytes decode_with_stdio_source(const Bytes& stream) {
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(stream.data()), stream.size(), "rb");
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr error;
  cinfo.err = jpeg_std_error(&error);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  Bytes plane(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = plane.data() + cinfo.output_scanline * cinfo.output_width;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  return plane;
}

TEST(JpegPlane, DecodesLikeLibjpegsOwnSource) {
  const struct {
    int width, height, quality;
  } cases[] = {{16, 8, 75}, {200, 120, 100}, {1, 1, 50}, {9, 17, 90}};
  for (const auto& c : cases) {
    const Bytes plane = noise_plane(c.width, c.height, c.width);
    Bytes stream;
    ASSERT_TRUE(encode_jpeg_plane(plane.data(), c.width, c.height, c.quality, stream));
    Bytes decoded(plane.size());
    ASSERT_EQ(decode_jpeg_plane(stream.data(), stream.size(), decoded.data(), c.width, c.height),
              c.width * c.height);
    EXPECT_EQ(decoded, decode_with_stdio_source(stream)) << c.width << " x " << c.height;
  }
}

// The stream sits in a buffer of exactly its length (the sanitizers see any
// read past it) and the destination has guard bytes after the plane.
TEST(JpegPlane, TruncatedAndMisfittingStreamsStayInsideTheirBuffers) {
  const int width = 24;
  const int height = 16;
  const Bytes plane = noise_plane(width, height, 7);
  Bytes stream;
  ASSERT_TRUE(encode_jpeg_plane(plane.data(), width, height, 90, stream));
  const std::size_t pixels = plane.size();
  int decoded = 0;
  int refused = 0;
  for (std::size_t length = 0; length < stream.size(); ++length) {
    const Bytes cut(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(length));
    Bytes out(pixels + 16, 0xA5);
    const int result = decode_jpeg_plane(cut.data(), cut.size(), out.data(), width, height);
    // Cut inside the header: refused; cut inside the scan: the rest is
    // libjpeg's fill after the end-of-image marker it was given.
    ASSERT_TRUE(result == -1 || result == width * height) << length;
    (result == -1 ? refused : decoded) += 1;
    ASSERT_EQ(Bytes(out.begin() + pixels, out.end()), Bytes(16, 0xA5)) << length;
  }
  EXPECT_GT(decoded, 0);
  EXPECT_GT(refused, 0);
  const struct {
    int width, height;
  } misfits[] = {{width - 1, height}, {width, height + 1}, {width * 2, height / 2}};
  for (const auto& m : misfits) {
    Bytes out(pixels * 2 + 16, 0xA5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(decode_jpeg_plane(stream.data(), stream.size(), out.data(), m.width, m.height), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("JPEG plane of 24 x 16 samples"),
              std::string::npos);
    EXPECT_EQ(out, Bytes(out.size(), 0xA5)) << m.width << " x " << m.height;
  }
}

}  // namespace
