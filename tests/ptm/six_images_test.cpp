#include "ptm/six_images.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/core/current_map.h"
#include "app/core/viewer_state.h"
#include "support/ptm_fixture.h"

namespace {

class SixImagesTest : public testing::Test {
 protected:
  void SetUp() override { directory_ = make_temp_directory("six"); }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  // Image i of `base`: 2 x 1 pixels, file row bytes given.
  void write_image(const std::string& base, int i, const std::string& pixels, int width = 2) {
    write_file_bytes(directory_ + "/" + base + std::to_string(i) + ".ppm",
                     "P6\n" + std::to_string(width) + " 1\n255\n" + pixels);
  }

  void write_six(const std::string& base) {
    for (int i = 0; i < 6; ++i) {
      const char b = static_cast<char>(10 * i + 130);
      write_image(base, i,
                  std::string{b, static_cast<char>(b + 1), static_cast<char>(b + 2),
                              static_cast<char>(b + 3), static_cast<char>(b + 4),
                              static_cast<char>(b + 5)});
    }
  }

  std::string path(const std::string& name) { return directory_ + "/" + name; }

  std::string directory_;
};

TEST_F(SixImagesTest, WithoutScaleBiasFileTheStoredBytesAreTheCoefficients) {
  write_six("scan");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Ptm* ptm = load_ptm(path("scan").c_str());
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(viewer.current_ptm, ptm);
  EXPECT_EQ(out, "Unable to load file directly, trying ppm files\n");
  EXPECT_EQ(err, "Warning: Read Scale and Bias: Can't open ppm file: " + path("scan.sab") +
                     "\nWill assume no scaling or bias\n");
  ASSERT_EQ(ptm->format, PTM_FORMAT_RGB);
  EXPECT_EQ(ptm->width, 2);
  EXPECT_EQ(ptm->height, 1);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(ptm->scale_bias[k], 256);
    EXPECT_EQ(ptm->scale_bias[6 + k], 0);
  }
  // Image 2 is green a0..a2: pixel 1 holds bytes 153, 154, 155.
  EXPECT_EQ(ptm->coef_planes[2][3], 153);
  if (uses_packed(*ptm)) {
    EXPECT_EQ(ptm->packed_rgb[24 + 8 + 0], 153);  // pixel 1, green, a0
    EXPECT_EQ(ptm->packed_rgb[24 + 8 + 3], 163);  // image 3 (green a3..a5)
  } else {
    EXPECT_EQ(ptm->coef_int[1][6], 153 * 16);
  }
  free_ptm(ptm);
  viewer.current_ptm = nullptr;
}

TEST_F(SixImagesTest, ScaleBiasFileSpreadOverLinesAppliesToEveryChannel) {
  write_six("scan");
  write_file_bytes(path("scan.sab"), "2.0 2.0\n2.0 2.0 2.0\n2.0\n128 128 128\n128 128\n128\n");
  testing::internal::CaptureStdout();
  Ptm* ptm = load_ptm_or_ppms(path("scan").c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to load file directly, trying ppm files\nReading SAB file...done.\n");
  EXPECT_EQ(ptm->scale_bias[0], 512);
  EXPECT_EQ(ptm->scale_bias[11], 128);
  // Stored byte 130 at scale 2 and bias 128 is coefficient 4.
  if (uses_packed(*ptm)) {
    EXPECT_EQ(ptm->packed_rgb[0], 4);
  } else {
    EXPECT_EQ(ptm->coef_int[0][0], 4 * 16);
  }
  free_ptm(ptm);
}

TEST_F(SixImagesTest, TheNameIsUsedUnchangedForImagesAndScaleBias) {
  write_six("scan.ptm");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Ptm* ptm = load_ptm_or_ppms(path("scan.ptm").c_str());
  testing::internal::GetCapturedStdout();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("scan.ptm.sab"), std::string::npos);
  EXPECT_EQ(ptm->width, 2);
  free_ptm(ptm);
}

TEST_F(SixImagesTest, AValidMapNeverTouchesTheImages) {
  write_file_bytes(path("map.ptm"), ptm_fixture_bytes(random_ptm_fixture(2, 2, 2, 2, 1)));
  write_file_bytes(path("map.ptm0.ppm"), "garbage");
  testing::internal::CaptureStdout();
  Ptm* ptm = load_ptm_or_ppms(path("map.ptm").c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), path("map.ptm") + "\nLRGB Format\n");
  EXPECT_EQ(ptm->format, PTM_FORMAT_LRGB);
  free_ptm(ptm);
}

TEST_F(SixImagesTest, IncompleteOrMissingInputsEndTheProgram) {
  write_six("scan");
  write_file_bytes(path("scan.sab"), "1 1 1 1 1 1\n");
  EXPECT_EXIT(load_ptm_or_ppms(path("scan").c_str()), testing::ExitedWithCode(255), "");

  std::filesystem::remove(path("scan.sab"));
  std::filesystem::remove(path("scan3.ppm"));
  EXPECT_EXIT(load_ptm_or_ppms(path("scan").c_str()), testing::ExitedWithCode(255),
              "Unable to load ppm file .*scan3.ppm");

  // Standard output joins standard error so the message can be matched.
  EXPECT_EXIT(
      {
        dup2(2, 1);
        load_ptm_or_ppms(path("nothing").c_str());
      },
      testing::ExitedWithCode(255), "^File .*nothing does not exist\n$");
  // With the first image there, the images are tried and the missing ones
  // named.
  write_image("only", 0, std::string(6, '\x01'));
  EXPECT_EXIT(load_ptm_or_ppms(path("only").c_str()), testing::ExitedWithCode(255),
              "Unable to load ppm file .*only1.ppm");
}

// A picture, a folder or an empty file given as the map is named for what
// it is, even with coefficient images of its name beside it; a file of no
// known kind is taken for their base only when they are there.
TEST_F(SixImagesTest, AFileThatIsNoMapIsNamedInsteadOfTakenForImages) {
  // The starts of a JFIF file and of a PNG file: their signatures.
  write_file_bytes(path("photo.jpg"), std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11));
  write_file_bytes(path("photo.png"), std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
  std::filesystem::create_directory(path("maps"));
  write_file_bytes(path("empty.ptm"), "");
  write_file_bytes(path("notes.txt"), "\x01\x02\xFE\n");
  for (const char* base : {"photo.jpg", "photo.png", "maps", "empty.ptm"}) write_six(base);
  const struct {
    const char* name;
    const char* message;  // after the path
  } cases[] = {
      {"photo.jpg", " is a JPEG picture, not a PTM map"},
      {"photo.png", " is a PNG picture, not a PTM map"},
      {"maps", " is a folder"},
      {"empty.ptm", " is empty"},
      {"notes.txt", " is not a PTM map"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // Standard output joins standard error so the message can be matched;
    // it is the only line.
    EXPECT_EXIT(
        {
          dup2(2, 1);
          load_ptm_or_ppms(path(c.name).c_str());
        },
        testing::ExitedWithCode(255), std::string("^[^\n]*/") + c.name + c.message + "\n$");
  }
  write_six("notes.txt");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Ptm* ptm = load_ptm_or_ppms(path("notes.txt").c_str());
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to load file directly, trying ppm files\n");
  EXPECT_EQ(ptm->width, 2);
  free_ptm(ptm);
}

TEST_F(SixImagesTest, ImagesOfAnotherSizeAreRefused) {
  write_six("scan");
  write_image("scan", 4, std::string(9, '\x01'), 3);
  // Standard output joins standard error so the message can be matched.
  EXPECT_EXIT(
      {
        dup2(2, 1);
        load_ptm_or_ppms(path("scan").c_str());
      },
      testing::ExitedWithCode(255),
      "Coefficient image .*scan4.ppm is 3 x 1, but .*scan0.ppm is 2 x 1");
}

TEST_F(SixImagesTest, IncompleteScaleBiasFileNamesItself) {
  write_six("scan");
  write_file_bytes(path("scan.sab"), "1 1 1 1 1 1 0 0 x\n");
  EXPECT_EXIT(
      {
        dup2(2, 1);
        load_ptm_or_ppms(path("scan").c_str());
      },
      testing::ExitedWithCode(255), "Read error on Scale and Bias file: .*scan.sab\n");
}

}  // namespace
