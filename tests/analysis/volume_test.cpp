#include "analysis/volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/write_failures.h"

namespace {

// Three photographs of 4 x 2 pixels (unless asked otherwise); pixel (x, y)
// of photograph k is (k, x, y) coded into distinct red, green and blue
// bytes.
struct ThreePhotographs {
  explicit ThreePhotographs(int width = 4, int height = 2) {
    for (int k = 0; k < 3; ++k) {
      RgbImage* image = new_rgb_image(width, height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          std::uint8_t* p = image->pixels + (y * width + x) * 3;
          p[0] = static_cast<std::uint8_t>(100 * k + 10 * y + x);
          p[1] = static_cast<std::uint8_t>(p[0] + 1);
          p[2] = static_cast<std::uint8_t>(p[0] + 2);
        }
      }
      records.push_back({image, 0, 0});
    }
    set.images = records.data();
    set.count = 3;
  }
  ~ThreePhotographs() {
    for (SourceImage& r : records) free_rgb_image(r.image);
  }
  std::vector<SourceImage> records;
  SourceImageSet set;
};

const char descriptor[] =
    "xsize 4\nysize 2\nzsize 3\nxscale 1\nyscale 1\nzscale 5\nxcoarse 1\nycoarse 1\nzcoarse 1\n";

VolumePaths paths_in(const ScratchDirectory& dir) { return volume_paths(dir.file("object.ptm")); }

std::vector<std::string> files_in(const ScratchDirectory& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Volume, ThePhotographsAreStackedChannelByChannelWithANineLineDescriptor) {
  ScratchDirectory dir("volume");
  ThreePhotographs photographs;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(write_volume(photographs.set, paths_in(dir)));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing voxel files, please wait.\nColor volume file written\n");
  // Photograph after photograph, its rows in stored order (bottom first),
  // each row left to right.
  std::string red, green, blue;
  for (int k = 0; k < 3; ++k) {
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        const int r = 100 * k + 10 * y + x;
        red += static_cast<char>(r);
        green += static_cast<char>(r + 1);
        blue += static_cast<char>(r + 2);
      }
    }
  }
  ASSERT_EQ(red.size(), 24u);
  EXPECT_EQ(read_file_bytes(dir.file("object.r.vox")), red);
  EXPECT_EQ(read_file_bytes(dir.file("object.g.vox")), green);
  EXPECT_EQ(read_file_bytes(dir.file("object.b.vox")), blue);
  EXPECT_EQ(read_file_bytes(dir.file("object.des")), descriptor);
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"object.b.vox", "object.des", "object.g.vox",
                                                     "object.r.vox"}));
}

TEST(Volume, TheNamesAreTheMapsCutAtTheLastDotOfItsFileName) {
  const struct {
    const char* base;
    const char* stem;
  } cases[] = {{"object.ptm", "object"},
               {"maps/v1.2/stone", "maps/v1.2/stone"},
               {"../a.b.ptm", "../a.b"},
               {"stone", "stone"}};
  for (const auto& c : cases) {
    const VolumePaths paths = volume_paths(c.base);
    const std::string stem = c.stem;
    EXPECT_EQ(paths.red, stem + ".r.vox");
    EXPECT_EQ(paths.green, stem + ".g.vox");
    EXPECT_EQ(paths.blue, stem + ".b.vox");
    EXPECT_EQ(paths.descriptor, stem + ".des");
  }
}

TEST(Volume, NothingIsWrittenForAnEmptySetAndEveryFailureIsReported) {
  ScratchDirectory dir("volume");
  ThreePhotographs photographs;

  SourceImageSet empty;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(write_volume(empty, paths_in(dir)));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "No source images loaded: no vox files written\n");
  EXPECT_TRUE(files_in(dir).empty());

  // A descriptor and a channel that cannot be made: the others are written.
  VolumePaths paths = paths_in(dir);
  paths.descriptor = dir.file("missing/object.des");
  paths.green = dir.file("missing/object.g.vox");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(write_volume(photographs.set, paths));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing voxel files, please wait.Unable to open descriptor file " + paths.descriptor +
                " for writing\nUnable to open volume file " + paths.green +
                " for writing\n\nColor volume not completely written: see the messages above\n");
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"object.b.vox", "object.r.vox"}));
  std::filesystem::remove(dir.file("object.b.vox"));
  std::filesystem::remove(dir.file("object.r.vox"));

  // Writes that fail part way (a full disk, here a file-size limit above
  // the descriptor's and the messages' size but below a channel's) leave
  // no file behind.
  ThreePhotographs large(40, 20);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    FileSizeLimit limit(1000);
    EXPECT_FALSE(write_volume(large.set, paths_in(dir)));
  }
  const std::string errors = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  for (const char* name : {"object.r.vox", "object.g.vox", "object.b.vox"}) {
    EXPECT_NE(errors.find("Error writing volume file " + dir.file(name)), std::string::npos)
        << name << " not reported: " << errors;
  }
  EXPECT_EQ(files_in(dir), std::vector<std::string>{"object.des"});
  std::filesystem::remove(dir.file("object.des"));
  EXPECT_TRUE(files_in(dir).empty());
}
