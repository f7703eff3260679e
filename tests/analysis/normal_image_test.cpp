// The normal image: its two headers, the +128 encoding, the row order and
// failed writes.
#include "analysis/normal_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/checked_alloc.h"
#include "support/files.h"
#include "support/write_failures.h"

using namespace std::string_literals;

namespace {

// A map whose normal field holds `normals` (x, y, z per pixel, map order).
Ptm* map_with_normals(int width, int height, const std::vector<std::int8_t>& normals) {
  Ptm* ptm = create_ptm(width, height, PTM_FORMAT_LRGB, CoefRepresentation::wide);
  ptm->normals = checked_alloc_array<std::int8_t>(normals.size());
  std::copy(normals.begin(), normals.end(), ptm->normals);
  return ptm;
}

class NormalImageFile : public testing::Test {
 protected:
  // What the two writers put in their files: the one-line header of the
  // file the user names, the two-line one of the depth command.
  std::pair<std::string, std::string> both_files(const Ptm& ptm) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(write_normal_image_file(ptm, named.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Writing normal values to file " + named + " ...done\n");
    EXPECT_TRUE(write_normal_image_fixed(ptm, fixed.c_str()));
    return {read_file_bytes(named), read_file_bytes(fixed)};
  }

  ScratchDirectory scratch{"normal-image"};
  std::string named = scratch.file("normals.ppm");
  std::string fixed = scratch.file("normalimage.ppm");
};

TEST_F(NormalImageFile, AFlatMapIsEverywhere128_128_255) {
  std::vector<std::int8_t> normals;
  for (int i = 0; i < 4 * 3; ++i) normals.insert(normals.end(), {0, 0, 127});
  Ptm* ptm = map_with_normals(4, 3, normals);
  const auto [one_line, two_lines] = both_files(*ptm);
  std::string pixels;
  for (int i = 0; i < 12; ++i) pixels += "\x80\x80\xff"s;
  EXPECT_EQ(one_line, "P6\n4 3\n255\n" + pixels);
  EXPECT_EQ(two_lines, "P6\n4\n3\n255\n" + pixels);
  free_ptm(ptm);
}

TEST_F(NormalImageFile, EachByteIsTheStoredOnePlus128AndTheLastMapRowComesFirst) {
  // 2 x 2: row 0 (bottom) pixels (-127, 0, 127), (1, -1, 2); row 1 (top)
  // pixels (127, -128, 0), (-5, 5, 100).
  Ptm* ptm = map_with_normals(2, 2, {-127, 0, 127, 1, -1, 2, 127, -128, 0, -5, 5, 100});
  const auto [one_line, two_lines] = both_files(*ptm);
  const std::string pixels =
      "\xff\x00\x80\x7b\x85\xe4"    // row 1: (127, -128, 0), (-5, 5, 100)
      "\x01\x80\xff\x81\x7f\x82"s;  // row 0: (-127, 0, 127), (1, -1, 2)
  EXPECT_EQ(one_line, "P6\n2 2\n255\n" + pixels);
  EXPECT_EQ(two_lines, "P6\n2\n2\n255\n" + pixels);
  free_ptm(ptm);

  // One pixel: the header and three bytes.
  ptm = map_with_normals(1, 1, {10, -10, 120});
  const auto [single_one_line, single_two_lines] = both_files(*ptm);
  EXPECT_EQ(single_one_line, "P6\n1 1\n255\n\x8a\x76\xf8"s);
  EXPECT_EQ(single_two_lines, "P6\n1\n1\n255\n\x8a\x76\xf8"s);
  free_ptm(ptm);
}

TEST_F(NormalImageFile, AFileThatCannotBeOpenedOrWrittenIsReportedAndLeftAlone) {
  std::vector<std::int8_t> normals(3 * 300 * 300, 5);
  Ptm* ptm = map_with_normals(300, 300, normals);
  const std::string nowhere = scratch.file("no-such-folder/normals.ppm");
  const std::string folder_missing =
      "Can't write in folder " + scratch.file("no-such-folder/") + ": No such file or directory\n";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(write_normal_image_file(*ptm, nowhere.c_str()));
  EXPECT_FALSE(write_normal_image_fixed(*ptm, nowhere.c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            folder_missing + "Unable to open normal file " + nowhere + " for writing.\n" +
                folder_missing + "Unable to open file for writing: " + nowhere + "\n");

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  bool written_named = true;
  bool written_fixed = true;
  {
    FileSizeLimit limit(1000);
    written_named = write_normal_image_file(*ptm, named.c_str());
    written_fixed = write_normal_image_fixed(*ptm, fixed.c_str());
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing normal values to file " + named + " ...\n");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(written_named);
  EXPECT_FALSE(written_fixed);
  EXPECT_NE(err.find("Error writing normal image " + named), std::string::npos) << err;
  EXPECT_NE(err.find("Error writing PPM file " + fixed), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(named));
  EXPECT_FALSE(std::filesystem::exists(fixed));
  free_ptm(ptm);
}

}  // namespace
