#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imageio/image_files.h"
#include "support/ppm_fixture.h"
#include "support/write_failures.h"

using namespace std::string_literals;

namespace {

class TgaWriter : public testing::Test {
 protected:
  ScratchDirectory scratch{"tga-writer"};
  std::string path = scratch.file("out.tga");
};

TEST_F(TgaWriter, HeaderIdTextAndPixelsInBgrBottomRowFirst) {
  // Bottom row (1,2,3) (4,5,6), top row (7,8,9) (10,11,12).
  std::uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(write_tga(pixels, path.c_str(), 2, 2, "abc"), 0);
  EXPECT_EQ(read_file_bytes(path),
            "\x04\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x02\x00\x18\x00"
            "abc\x00"
            "\x03\x02\x01\x06\x05\x04\x09\x08\x07\x0c\x0b\x0a"s);
  // The caller's buffer is left in B, G, R order.
  EXPECT_EQ(std::vector<std::uint8_t>(pixels, pixels + 12),
            (std::vector<std::uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
}

TEST_F(TgaWriter, EmptyIdTextWritesNoIdAndSizesAsLittleEndian16Bit) {
  std::vector<std::uint8_t> pixels(258 * 3, 0x7f);
  ASSERT_EQ(write_tga(pixels.data(), path.c_str(), 258, 1, ""), 0);
  const std::string file = read_file_bytes(path);
  EXPECT_EQ(file.substr(0, 18),
            "\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x01\x01\x00\x18\x00"s);
  EXPECT_EQ(file.substr(18), std::string(258 * 3, '\x7f'));
}

TEST_F(TgaWriter, LongIdTextIsCutTo254Characters) {
  std::uint8_t pixel[] = {1, 2, 3};
  const std::string id(300, 'i');
  ASSERT_EQ(write_tga(pixel, path.c_str(), 1, 1, id.c_str()), 0);
  const std::string file = read_file_bytes(path);
  ASSERT_EQ(file.size(), 18u + 255u + 3u);
  EXPECT_EQ(static_cast<std::uint8_t>(file[0]), 255);
  EXPECT_EQ(file.substr(18, 255), std::string(254, 'i') + '\0');
  EXPECT_EQ(file.substr(273), "\x03\x02\x01"s);
}

TEST_F(TgaWriter, FailuresReturnMinusOne) {
  std::uint8_t pixel[] = {1, 2, 3};
  testing::internal::CaptureStderr();
  EXPECT_EQ(write_tga(pixel, scratch.file("missing/out.tga").c_str(), 1, 1, "x"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Can't write in folder " + scratch.file("missing/") +
                ": No such file or directory\nwrite_tga: Unable to write to FILE *\n");

  // /dev/full accepts the open and fails the writes.
  testing::internal::CaptureStderr();
  EXPECT_EQ(write_tga(pixel, "/dev/full", 1, 1, "x"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error writing tga file\n");

  // A regular file cut short leaves nothing behind.
  std::vector<std::uint8_t> pixels(3 * 256 * 256, 9);
  testing::internal::CaptureStderr();
  {
    FileSizeLimit limit(1000);
    EXPECT_EQ(write_tga(pixels.data(), path.c_str(), 256, 256, "x"), -1);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error writing tga file\n");
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path));
}

}  // namespace
