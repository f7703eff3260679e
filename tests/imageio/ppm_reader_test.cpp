#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/checked_alloc.h"
#include "common/end_program.h"
#include "imageio/image_files.h"
#include "support/ppm_fixture.h"

using namespace std::string_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct ProgramEnded {
  int status;
};

[[noreturn]] void throw_instead_of_exiting(int status) { throw ProgramEnded{status}; }

// Turns end_program into an exception for the life of the object.
struct EndProgramThrows {
  EndProgramThrows() { previous = set_end_program_hook(throw_instead_of_exiting); }
  ~EndProgramThrows() { set_end_program_hook(previous); }
  EndProgramHook previous;
};

// A scratch directory with one file name to write inputs to.
class PpmFile : public testing::Test {
 protected:
  ScratchDirectory scratch{"ppm-reader"};
  std::string path = scratch.file("image.ppm");
};

// Reader cases that run in-process: ending the program throws, so a file
// refused by mistake fails its test instead of ending the test binary.
class PpmReader : public PpmFile {
 protected:
  // Writes `bytes` as a file and reads it back as an image.
  Bytes read_pixels(const std::string& bytes, int expected_width, int expected_height) {
    write_file_bytes(path, bytes);
    RgbImage* image = Input_ppm_and_create_as_char_image(path.c_str());
    if (image == nullptr) {
      ADD_FAILURE() << "no image";
      return {};
    }
    EXPECT_EQ(image->width, expected_width);
    EXPECT_EQ(image->height, expected_height);
    Bytes pixels(image->pixels, image->pixels + image->width * image->height * 3);
    free_rgb_image(image);
    return pixels;
  }

  EndProgramThrows hook;
};

// File order is top row first: (1,2,3) (4,5,6) / (7,8,9) (10,11,12).
const std::string two_by_two_data = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c"s;
// The same pixels bottom-up, as the image keeps them.
const Bytes two_by_two_image = {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6};

TEST_F(PpmReader, BinaryIsFlippedBottomUpWhateverTheHeaderLayout) {
  const std::string headers[] = {
      "P6\n# made by hand\n2 2\n255\n",
      "P6\n2\n2\n255\n",
      // Longer than the 100-byte line buffer, yet still one skipped line.
      "P6\n# " + std::string(300, 'c') + " 9 9\n2 2\n255\n",
      "P6\n# c\n\n2 2\n255\n",
  };
  for (const std::string& header : headers) {
    SCOPED_TRACE(header);
    EXPECT_EQ(read_pixels(header + two_by_two_data, 2, 2), two_by_two_image);
  }
}

TEST_F(PpmReader, SixteenBitMaximumIsReadOneBytePerSampleWithoutScaling) {
  EXPECT_EQ(read_pixels("P6\n1 1\n65535\n\x01\x02\x03\x04\x05\x06"s, 1, 1), (Bytes{1, 2, 3}));
}

TEST_F(PpmReader, AsciiSamplesReadLikePercentIKeepingTheLowEightBits) {
  // 010 is octal, 0x1f hexadecimal; 256, 257 and -1 keep their low 8 bits;
  // "08" is octal 0 followed by decimal 8, as with "%i".
  const std::string file = "P3\n# ascii\n1 3\n255\n010 0x1F 7\n256\t257 -1\n08 +9\n";
  EXPECT_EQ(read_pixels(file, 1, 3), (Bytes{0, 8, 9, 0, 1, 255, 8, 31, 7}));
}

TEST_F(PpmReader, OneLineHeaderTakesTheMaximumValueFromThePixelData) {
  // "1 1 255" is all one size line, so the maximum value is the "9" that
  // was meant as pixel data, and "abc" becomes the pixel.
  EXPECT_EQ(read_pixels("P6 1 1 255\n9\nabc"s, 1, 1), (Bytes{'a', 'b', 'c'}));
}

TEST_F(PpmReader, MissingFileGivesNullAndSaysSo) {
  const std::string missing = scratch.file("absent.ppm");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Input_ppm_and_create_as_char_image(missing.c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unable to load ppm file " + missing + "\n");
}

TEST_F(PpmReader, MonochromeAndUnknownMagicEndTheProgramWithStdoutMessages) {
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {"P5\n1 1\n255\n\x01"s,
       "Read operation is not coded to flip in y yet for monochrome images\n"},
      {"P7\n1 1\n255\n\x01\x02\x03"s,
       "Input_ppm_and_create_as_char_image Error: Couldn't parse ppm header\n"},
      {""s, "Input_ppm_and_create_as_char_image Error: Couldn't parse ppm header\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    write_file_bytes(path, c.file);
    testing::internal::CaptureStdout();
    try {
      Input_ppm_and_create_as_char_image(path.c_str());
      ADD_FAILURE() << "the program should have ended";
    } catch (const ProgramEnded& ended) {
      EXPECT_EQ(ended.status, -1);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
  }
}

TEST_F(PpmReader, HugeSizeInASmallFileIsRefusedBeforeAllocating) {
  write_file_bytes(path, "P6\n10000 10000\n255\n" + two_by_two_data);
  const std::uint64_t before = bytes_allocated();
  testing::internal::CaptureStderr();
  EXPECT_THROW(Input_ppm_and_create_as_char_image(path.c_str()), ProgramEnded);
  EXPECT_EQ(bytes_allocated(), before);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("image.ppm ends before its pixel data"),
            std::string::npos);
}

using PpmReaderDeathTest = PpmFile;

TEST_F(PpmReaderDeathTest, MalformedFilesEndTheProgramNamingTheFile) {
  const std::string prefix = "Input_ppm_and_create_as_char_image Error: .*image\\.ppm ";
  const std::string no_size = prefix + "has no valid width and height in its header";
  const std::string early_end = prefix + "ends before its pixel data";
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {"P6\n# only a comment\n", no_size},
      {"P6\nx 2\n255\n\x01\x02\x03"s, no_size},
      {"P6\n2\n", no_size},
      {"P6\n2\n# height missing\n", no_size},
      {"P6\n99999999999 1\n255\n\x01\x02\x03"s, no_size},
      {"P6\n0 2\n255\n", prefix + "has an invalid size 0 x 2"},
      {"P3\n2 -1\n255\n1 2 3", prefix + "has an invalid size 2 x -1"},
      {"P6\n50000 50000\n255\n\x01\x02\x03"s, prefix + "is too large \\(50000 x 50000\\)"},
      // Three bytes per pixel of the largest int sizes overflow 64 bits.
      {"P6\n2059437153 2059437153\n255\n\x01\x02\x03"s,
       prefix + "is too large \\(2059437153 x 2059437153\\)"},
      {"P6\n1 1\n\n", prefix + "has no valid maximum value in its header"},
      {"P6\n1 1\n255", early_end},
      {"P6\n2 2\n255\n" + two_by_two_data.substr(0, 11), early_end},
      {"P3\n2 2\n255\n1 2 3 4 5 6 7 8 9 10 11", early_end},
      {"P3\n1 1\n255\n1 2 -", early_end},
      {"P3\n2 1\n255\n1 2 3 4 x 6 7 8", prefix + "has a pixel value that is not a number"},
      {"P3\n1 1\n255\n0xg 2 3", prefix + "has a pixel value that is not a number"},
      {"P6\n1 1\n255x\x01\x02\x03"s,
       "Read ppm as gl_rgb error, something besides white space after grey value"},
      {"P6 2 2 255\n50X"s + two_by_two_data,
       "Read ppm as gl_rgb error, something besides white space after grey value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    write_file_bytes(path, c.file);
    EXPECT_EXIT(Input_ppm_and_create_as_char_image(path.c_str()), testing::ExitedWithCode(255),
                c.message);
  }
}

TEST(PpmSize, ReadsTheSizeSkippingCommentsAndSplitLines) {
  ScratchDirectory scratch("ppm-size");
  const std::string path = scratch.file("size.ppm");
  write_file_bytes(path, "P6\n# a comment\n# another\n640\n480\n255\n");
  int width = 0;
  int height = 0;
  Input_ppm_size(path.c_str(), width, height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
}

TEST(PpmSizeDeathTest, MissingFileOrSizeEndsTheProgram) {
  ScratchDirectory scratch("ppm-size");
  const std::string path = scratch.file("size.ppm");
  int width = 0;
  int height = 0;
  EXPECT_EXIT(Input_ppm_size(path.c_str(), width, height), testing::ExitedWithCode(255),
              "Input_ppm_size Error: Can't open ppm file: .*size\\.ppm\n");
  write_file_bytes(path, "P6\n# nothing else\n");
  EXPECT_EXIT(Input_ppm_size(path.c_str(), width, height), testing::ExitedWithCode(255),
              "Input_ppm_size Error: .*size\\.ppm has no valid width and height in its header\n");
  write_file_bytes(path, "P6\n-3 4\n255\n");
  EXPECT_EXIT(Input_ppm_size(path.c_str(), width, height), testing::ExitedWithCode(255),
              "Input_ppm_size Error: .*size\\.ppm has an invalid size -3 x 4\n");
}

}  // namespace
