#include "imageio/png_image.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/lcg_random.h"
#include "support/files.h"
#include "support/png_fixture.h"
#include "support/pnm_image.h"
#include "support/run_program.h"
#include "support/write_failures.h"

namespace {

// The image's pixels top row first, as the file and the fixtures order them.
std::vector<std::uint8_t> top_first(const RgbImage& image) {
  std::vector<std::uint8_t> rows;
  for (int y = image.height - 1; y >= 0; --y) {
    const std::uint8_t* row = image.pixels + static_cast<std::size_t>(y) * image.width * 3;
    rows.insert(rows.end(), row, row + image.width * 3);
  }
  return rows;
}

RgbImage* decode(const std::string& bytes) {
  return decode_png_rgb(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                        "test.png");
}

struct DecodeCase {
  const char* name;
  PngFixture fixture;
  std::vector<std::uint8_t> rgb;  // expected, top row first
};

// Sub-byte grey levels stretch to 0..255 (1 bit: 255, 2 bits: x 85, 4 bits:
// x 17); 16-bit samples keep their high byte; alpha is dropped; a palette
// index becomes its entry.
TEST(PngReader, DecodesEveryColourTypeAndDepthAsTheStoredSamples) {
  const std::vector<DecodeCase> cases = {
      {"rgb 8", {2, 2, 2, 8, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252}, {}},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252}},
      {"grey 1", {3, 1, 0, 1, false, {1, 0, 1}, {}}, {255, 255, 255, 0, 0, 0, 255, 255, 255}},
      {"grey 4", {2, 1, 0, 4, false, {3, 15}, {}}, {51, 51, 51, 255, 255, 255}},
      {"grey 16 interlaced",
       {3, 3, 0, 16, true, {0x0102, 0xff00, 0x10ff, 0, 1, 2, 0x8000, 0x7fff, 0xffff}, {}},
       {1, 1, 1, 255, 255, 255, 16, 16, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 128, 128, 128, 127, 127,
        127, 255, 255, 255}},
      {"palette 2", {3, 1, 3, 2, false, {2, 0, 1}, {9, 8, 7, 6, 5, 4, 100, 110, 120}},
       {100, 110, 120, 9, 8, 7, 6, 5, 4}},
      {"grey alpha 8", {2, 1, 4, 8, false, {40, 0, 200, 255}, {}}, {40, 40, 40, 200, 200, 200}},
      {"rgba 16", {1, 2, 6, 16, false, {0x1234, 0x5678, 0x9abc, 0, 0xff00, 0x00ff, 0x8080, 7}, {}},
       {0x12, 0x56, 0x9a, 0xff, 0x00, 0x80}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    RgbImage* image = decode(png_fixture_bytes(c.fixture));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, c.fixture.width);
    EXPECT_EQ(image->height, c.fixture.height);
    EXPECT_EQ(top_first(*image), c.rgb);
    free_rgb_image(image);
  }
}

// Cut anywhere, flipped in a data byte (the CRC no longer matches), not a
// PNG at all, or claiming more pixels than the reader takes: no picture,
// and a message naming the file.
TEST(PngReader, RefusesDamagedAndOversizedFiles) {
  const std::string good = png_fixture_bytes({8, 8, 2, 8, false, std::vector<std::uint16_t>(192, 77), {}});
  std::vector<std::pair<std::string, std::string>> bad = {
      {"empty", ""}, {"garbage", "not a picture at all, really not"},
      {"signature only", good.substr(0, 8)}, {"no IEND", good.substr(0, good.size() - 12)},
      {"half", good.substr(0, good.size() / 2)}};
  std::string flipped = good;
  flipped[good.size() - 20] ^= 0x40;
  bad.push_back({"flipped data byte", flipped});
  // A header for 65536 x 65536 pixels (2^32 > 2^28), with a valid CRC so
  // that only the size check can refuse it.
  std::string huge = png_fixture_bytes({1, 1, 0, 8, false, {0}, {}});
  huge.replace(16, 8, std::string("\x00\x01\x00\x00\x00\x01\x00\x00", 8));
  const std::uint32_t crc =
      crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17);
  for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
  bad.push_back({"oversized", huge});
  // A text chunk after the header that claims 2 GB: libpng would allocate
  // that much before finding the file shorter.
  std::string forged = good;
  forged.insert(33, std::string("\x79\x00\x00\x7a" "tEXt" "Relumo view\0--light 0,0", 31));
  bad.push_back({"chunk longer than the file", forged});
  for (const auto& [name, bytes] : bad) {
    SCOPED_TRACE(name);
    testing::internal::CaptureStderr();
    RgbImage* image = decode(bytes);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(image, nullptr);
    EXPECT_NE(message.find("PNG file test.png cannot be decoded"), std::string::npos) << message;
    if (name == "oversized") {
      EXPECT_NE(message.find("larger than"), std::string::npos) << message;
    }
    if (name == "chunk longer than the file") {
      EXPECT_NE(message.find("a chunk is longer than the file"), std::string::npos) << message;
    }
    if (image != nullptr) free_rgb_image(image);
  }
}

// netpbm's pngtopnm, an independent decoder over the system's libpng, reads
// what the writers wrote with the top row first and 16-bit samples whole.
TEST(PngWriter, PicturesReadBackByAnIndependentDecoder) {
  ScratchDirectory dir("png_writer");
  RgbImage* image = new_rgb_image(5, 3);
  for (int i = 0; i < 45; ++i) image->pixels[i] = static_cast<std::uint8_t>(i * 37 + 11);
  ASSERT_TRUE(write_png_rgb(*image, dir.file("rgb.png").c_str()));
  command_output("pngtopnm '" + dir.file("rgb.png") + "' > '" + dir.file("rgb.ppm") + "'");
  const TestImage rgb = read_pnm(dir.file("rgb.ppm"));
  ASSERT_EQ(rgb.width, 5);
  ASSERT_EQ(rgb.height, 3);
  const std::vector<std::uint8_t> expected = top_first(*image);
  EXPECT_EQ(std::vector<std::uint8_t>(rgb.samples.begin(), rgb.samples.end()), expected);
  free_rgb_image(image);

  const std::vector<std::uint16_t> depth = {0, 1, 65535, 0x1234, 0x8000, 0xfffe};  // 3 x 2, bottom row first
  ASSERT_TRUE(write_png_grey16(depth.data(), 3, 2, dir.file("grey.png").c_str()));
  command_output("pngtopnm '" + dir.file("grey.png") + "' > '" + dir.file("grey.pgm") + "'");
  const TestImage grey = read_pnm(dir.file("grey.pgm"));
  EXPECT_EQ(grey.bits, 16);
  EXPECT_EQ(grey.samples, (std::vector<std::uint16_t>{0x1234, 0x8000, 0xfffe, 0, 1, 65535}));
}

TEST(PngWriter, AFailedWriteLeavesNoFile) {
  ScratchDirectory dir("png_write_failure");
  RgbImage* image = new_rgb_image(300, 300);
  // Noise, so that the compressed file is far larger than the limit.
  LcgRandom random;
  for (int i = 0; i < 300 * 300 * 3; ++i) image->pixels[i] = static_cast<std::uint8_t>(random.next());
  const std::string path = dir.file("out.png");
  testing::internal::CaptureStderr();
  {
    FileSizeLimit limit(4096);
    EXPECT_FALSE(write_png_rgb(*image, path.c_str()));
  }
  EXPECT_FALSE(write_png_rgb(*image, dir.file("missing/out.png").c_str()));
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find(path), std::string::npos) << messages;
  EXPECT_NE(messages.find("missing/out.png"), std::string::npos) << messages;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path)) << command_output("ls -la " + dir.path);
  free_rgb_image(image);
}

}  // namespace
