#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>
#include <vector>

#include "imageio/image_files.h"
#include "support/ppm_fixture.h"
#include "support/write_failures.h"

using namespace std::string_literals;

namespace {

class PpmWriter : public testing::Test {
 protected:
  ScratchDirectory scratch{"ppm-writer"};
  std::string path = scratch.file("out.ppm");
};

TEST_F(PpmWriter, ColourImageIsWrittenTopRowFirst) {
  // Bottom-up: row 0 (bottom) is (1,2,3) (4,5,6), row 1 is (7,8,9) (10,11,12).
  const std::uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  write_ppm(pixels, path.c_str(), 2, 2);
  EXPECT_EQ(read_file_bytes(path),
            "P6\n2 2\n255\n\x07\x08\x09\x0a\x0b\x0c\x01\x02\x03\x04\x05\x06"s);
}

TEST_F(PpmWriter, WrittenImageReadsBackIdentical) {
  const std::uint8_t pixels[] = {0,  255, 10, 20, 30, 40, 50,  60,  70,
                                 80, 90,  32, 13, 10, 9,  200, 128, 127};
  write_ppm(pixels, path.c_str(), 3, 2);
  RgbImage* image = Input_ppm_and_create_as_char_image(path.c_str());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(std::basic_string<std::uint8_t>(image->pixels, 18),
            std::basic_string<std::uint8_t>(pixels, 18));
  free_rgb_image(image);
}

TEST_F(PpmWriter, GreyImageIsWrittenInStoredOrderWithTheSizeOnTwoLines) {
  const std::uint8_t grey[] = {1, 2, 3, 4, 5, 6};
  write_grey_ppm(grey, path.c_str(), 3, 2);
  EXPECT_EQ(read_file_bytes(path),
            "P6\n3\n2\n255\n"
            "\x01\x01\x01\x02\x02\x02\x03\x03\x03\x04\x04\x04\x05\x05\x05\x06\x06\x06"s);
}

TEST_F(PpmWriter, UnwritablePathIsReportedAndNothingIsWritten) {
  const std::string bad = scratch.file("no-such-dir/out.ppm");
  const std::string folder_missing =
      "Can't write in folder " + scratch.file("no-such-dir/") + ": No such file or directory\n";
  const std::uint8_t pixels[] = {1, 2, 3};
  testing::internal::CaptureStderr();
  write_ppm(pixels, bad.c_str(), 1, 1);
  write_grey_ppm(pixels, bad.c_str(), 1, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            folder_missing + "Unable to open file for writing: " + bad + "\n" + folder_missing +
                "Unable to open file for writing: " + bad + "\n");
  EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST_F(PpmWriter, AWriteThatFailsPartWayIsReportedAndLeavesNoFile) {
  const std::vector<std::uint8_t> pixels(3 * 256 * 256, 7);
  bool written = true;
  testing::internal::CaptureStderr();
  {
    FileSizeLimit limit(1000);
    written = write_ppm(pixels.data(), path.c_str(), 256, 256);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(written);
  EXPECT_NE(err.find("Error writing PPM file " + path), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
