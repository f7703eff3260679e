#include "ptm/mask_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/checked_alloc.h"
#include "support/ptm_fixture.h"

namespace {

class ReadPpmTest : public testing::Test {
 protected:
  void SetUp() override { directory_ = make_temp_directory("readppm"); }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string write(const std::string& bytes) {
    const std::string path = directory_ + "/image.ppm";
    write_file_bytes(path, bytes);
    return path;
  }

  std::string directory_;
};

TEST_F(ReadPpmTest, CommentsBeforeEachNumberAndPixelsInFileOrder) {
  const std::string path = write("P6\n# made by hand\n2\n# height next\n1\n#max\n255\n" +
                                 std::string("\x01\x02\x03\xfa\xfb\xfc"));
  int width = 0;
  int height = 0;
  std::uint8_t* pixels = readppm(path.c_str(), width, height);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(width, 2);
  EXPECT_EQ(height, 1);
  EXPECT_EQ(pixels[0], 1);
  EXPECT_EQ(pixels[5], 0xfc);
  checked_free(pixels);
}

TEST_F(ReadPpmTest, AsciiSamplesAreCIntegersKeptAsLowBytes) {
  const std::string path = write("P3\n1 2\n255\n010 0x10 300\n7 8 9\n");
  int width = 0;
  int height = 0;
  std::uint8_t* pixels = readppm(path.c_str(), width, height);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[0], 8);
  EXPECT_EQ(pixels[1], 16);
  EXPECT_EQ(pixels[2], 300 & 0xff);
  EXPECT_EQ(pixels[5], 9);
  checked_free(pixels);
}

TEST_F(ReadPpmTest, ByteAfterMaximumOtherThanLineFeedIsOnlyAWarning) {
  const std::string path = write("P6 1 1 255 \x05\x06\x07");
  int width = 0;
  int height = 0;
  testing::internal::CaptureStderr();
  std::uint8_t* pixels = readppm(path.c_str(), width, height);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Possible problem reading ppm " + path + "\n");
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[0], 5);
  checked_free(pixels);
}

TEST_F(ReadPpmTest, MaximumOtherThan255AndUnknownTypesEndWithStatusOne) {
  int width = 0;
  int height = 0;
  const std::string deep = write("P6\n1 1\n65535\n\x01\x02\x03\x04\x05\x06");
  EXPECT_EXIT(readppm(deep.c_str(), width, height), testing::ExitedWithCode(1),
              "Don't know how to handle ppm maxval of 65535\n");
  const std::string grey = write("P5\n1 1\n255\n\x01");
  EXPECT_EXIT(readppm(grey.c_str(), width, height), testing::ExitedWithCode(1),
              "I don't know how to handle this kind of ppm\n");
}

TEST_F(ReadPpmTest, BadFilesAreRefusedWithAMessage) {
  const struct {
    std::string bytes;
    const char* message;
  } cases[] = {
      {"P6\n2 2\n255\n\x01\x02\x03", "ends before its pixel data"},
      {"P3\n1 1\n255\n1 2", "ends before its pixel data"},
      {"P3\n2 1\n255\n1 2 3 4 five 6", "ends before its pixel data"},
      {"P6\n0 2\n255\n", "invalid image size 0 x 2"},
      {"P6\n-1 2\n255\n", "invalid image size -1 x 2"},
      {"P6\n100000 100000\n255\n\x01", "invalid image size 100000 x 100000"},
      {"P6\n30000 20000\n255\n\x01", "ends before its pixel data"},
      {"JUNK", "is not a PPM image"},
      {"", "is not a PPM image"},
      {"P6\nwide 2\n255\n", "is not a PPM image"},
  };
  for (const auto& c : cases) {
    const std::string path = write(c.bytes);
    int width = 0;
    int height = 0;
    testing::internal::CaptureStderr();
    std::uint8_t* pixels = readppm(path.c_str(), width, height);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(pixels, nullptr) << c.bytes;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
  }
  int width = 0;
  int height = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(readppm((directory_ + "/absent.ppm").c_str(), width, height), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unable to readppm: " + directory_ + "/absent.ppm\n");
}

}  // namespace
