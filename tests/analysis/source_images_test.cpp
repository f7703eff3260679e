#include "analysis/source_images.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/jpeg_fixture.h"
#include "support/png_fixture.h"

namespace {

// A binary PPM of `width` x `height` pixels, written out byte by byte: the
// file's top row first, pixel (x, row) = (base + x, base + 10 row, base + 20).
std::string ppm_bytes(int width, int height, int base) {
  std::string bytes = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < width; ++x) {
      bytes += static_cast<char>(base + x);
      bytes += static_cast<char>(base + 10 * row);
      bytes += static_cast<char>(base + 20);
    }
  }
  return bytes;
}

// Image pixel (x, y) of a photograph read from ppm_bytes: rows are stored
// bottom-up, so image row y is file row height - 1 - y.
std::vector<int> pixel(const RgbImage& image, int x, int y) {
  const std::uint8_t* p = image.pixels + (static_cast<std::size_t>(y) * image.width + x) * 3;
  return {p[0], p[1], p[2]};
}

// Runs in `directory` for the lifetime of the object: photographs named
// without a folder are then found there when the light-position file's
// folder does not hold them.
struct WorkingDirectory {
  explicit WorkingDirectory(const std::string& directory) : saved(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
  }
  ~WorkingDirectory() { std::filesystem::current_path(saved); }
  std::filesystem::path saved;
};

}  // namespace

TEST(SourceImages, LoadsEachPhotographFromTheListsFolderFirstWithItsNormalisedDirection) {
  ScratchDirectory dir("source-images");
  std::filesystem::create_directories(dir.file("capture/photos"));
  // a.ppm is in both the working directory and the list's folder: the
  // list's folder wins. elsewhere.ppm is only in the working directory.
  write_file_bytes(dir.file("a.ppm"), ppm_bytes(3, 2, 100));
  write_file_bytes(dir.file("capture/a.ppm"), ppm_bytes(3, 2, 10));
  write_file_bytes(dir.file("elsewhere.ppm"), ppm_bytes(3, 2, 40));
  write_file_bytes(dir.file("capture/photos/b.ppm"), ppm_bytes(3, 2, 70));
  JpegFixture jpeg;
  jpeg.width = 3;
  jpeg.height = 2;
  jpeg.samples = {200, 0, 0, 0, 200, 0, 0, 0, 200, 90, 90, 90, 30, 60, 90, 250, 250, 250};
  jpeg.quality = 100;
  jpeg.full_chroma = true;
  write_file_bytes(dir.file("capture/c.JPEG"), jpeg_fixture_bytes(jpeg));
  // Read by content, whatever the name: a PPM with an upper-case name and
  // a 16-bit grey PNG (shown rounded to 8 bits: 0x12F0 / 257 = 18.86,
  // 0x80FF / 257 = 128.49).
  write_file_bytes(dir.file("capture/D.PPM"), ppm_bytes(3, 2, 60));
  write_file_bytes(dir.file("capture/e.png"),
                   png_fixture_bytes({3, 2, 0, 16, false, {0x12F0, 0, 0, 0, 0, 0x80FF}, {}}));
  write_file_bytes(dir.file("capture/list.lp"),
                   "6\r\n"
                   "a.ppm 0 0 2\r\n"
                   "elsewhere.ppm 3 0 4\r\n"
                   "photos\\b.ppm 0 -6 8\r\n"
                   "c.JPEG 0 0 0\r\n"
                   "D.PPM 0 0 1\r\n"
                   "e.png 0 0 1\r\n");
  WorkingDirectory in(dir.path);

  SourceImageSet set;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(read_source_images("capture/list.lp", 3, 2, set));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "6 images to read...Caution, length zero vector found in lp file: 0.000000 0.000000 "
            "0.000000\n...done\n");
  ASSERT_EQ(set.count, 6);
  // Directions scaled to unit length: (0, 0, 1), (0.6, 0, 0.8), (0, -0.6,
  // 0.8); the zero vector is kept.
  const float lu[4] = {0, 0.6f, 0, 0};
  const float lv[4] = {0, 0, -0.6f, 0};
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(set.images[k].lu, lu[k], 1e-6) << k;
    EXPECT_NEAR(set.images[k].lv, lv[k], 1e-6) << k;
  }
  // File row 0 is the top: image row 1.
  EXPECT_EQ(pixel(*set.images[0].image, 2, 1), (std::vector<int>{12, 10, 30}));
  EXPECT_EQ(pixel(*set.images[0].image, 0, 0), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(pixel(*set.images[1].image, 1, 0), (std::vector<int>{41, 50, 60}));
  EXPECT_EQ(pixel(*set.images[2].image, 0, 1), (std::vector<int>{70, 70, 90}));
  // The JPEG at quality 100 without chroma subsampling: within a few grey
  // levels of its samples, bottom row first.
  const RgbImage& c = *set.images[3].image;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const std::vector<int> got = pixel(c, x, y);
      for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(got[k], jpeg.samples[((1 - y) * 3 + x) * 3 + k], 3) << x << " " << y;
      }
    }
  }
  EXPECT_EQ(pixel(*set.images[4].image, 1, 0), (std::vector<int>{61, 70, 80}));
  EXPECT_EQ(pixel(*set.images[5].image, 0, 1), (std::vector<int>{19, 19, 19}));
  EXPECT_EQ(pixel(*set.images[5].image, 2, 0), (std::vector<int>{128, 128, 128}));
  free_source_images(set);
  EXPECT_EQ(set.count, 0);
  EXPECT_EQ(set.images, nullptr);
}

// Each problem abandons the load with its message and releases what was
// read (the sanitizer build finds a leak); a repaired list then loads.
TEST(SourceImages, AnAbandonedLoadSaysWhyReleasesItsPhotographsAndTheNextStartsAfresh) {
  ScratchDirectory dir("source-images");
  write_file_bytes(dir.file("a.ppm"), ppm_bytes(3, 2, 10));
  write_file_bytes(dir.file("b.ppm"), ppm_bytes(3, 2, 20));
  write_file_bytes(dir.file("small.ppm"), ppm_bytes(2, 2, 20));
  write_file_bytes(dir.file("bad.jpg"), "\xFF\xD8 and then no JPEG stream at all");
  write_file_bytes(dir.file("notes.jpg"), "not a picture at all");
  // A few bytes whose frame header claims 26000 x 26000 pixels: refused by
  // their size before anything is allocated for them.
  JpegFixture small;
  small.width = small.height = 8;
  small.samples.assign(8 * 8 * 3, 90);
  std::string huge = jpeg_fixture_bytes(small);
  huge.replace(huge.find("\xFF\xC0") + 5, 4, "\x65\x90\x65\x90");
  write_file_bytes(dir.file("huge.jpg"), huge);
  const std::string lp = dir.file("map.lp");
  const struct {
    const char* what;
    const char* list;  // null: no list at all
    std::string output;
  } cases[] = {
      {"no list", nullptr, "Light position file " + lp + " not found\n"},
      {"an unreadable list", "2\na.ppm 0 0 1\nb.ppm 0 0\n",
       "Light position file " + lp +
           ", line 3: expected an image file name and the three numbers of its light direction\n"},
      {"a file that is no picture", "3\na.ppm 0 0 1\nb.ppm 1 0 1\nnotes.jpg 0 1 1\n",
       "3 images to read..Photograph " + dir.file("notes.jpg") +
           " is not a JPEG, PNG, PPM, PGM or TIFF picture\nFile notes.jpg not read, aborting "
           "Source Read\n"},
      {"a missing photograph", "2\na.ppm 0 0 1\nmissing.ppm 1 0 1\n",
       "2 images to read.Photograph missing.ppm cannot be opened: No such file or directory\n"
       "File missing.ppm not read, aborting Source Read\n"},
      {"a damaged JPEG", "2\na.ppm 0 0 1\nbad.jpg 1 0 1\n",
       "2 images to read.JPEG photograph " + dir.file("bad.jpg") +
           " cannot be decoded\nFile bad.jpg not read, aborting Source Read\n"},
      {"a photograph of another size", "2\na.ppm 0 0 1\nsmall.ppm 1 0 1\n",
       "2 images to read.\nAborting file read, size of source image specified in lp file does "
       "not match size of current ptm\n"},
      {"a JPEG claiming 26000 x 26000 pixels", "2\na.ppm 0 0 1\nhuge.jpg 1 0 1\n",
       "2 images to read.\nAborting file read, size of source image specified in lp file does "
       "not match size of current ptm\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(lp);
    if (c.list != nullptr) write_file_bytes(lp, c.list);
    SourceImageSet set;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(read_source_images(lp.c_str(), 3, 2, set));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
    EXPECT_EQ(set.count, 0);
    EXPECT_EQ(set.images, nullptr);
  }

  write_file_bytes(lp, "2\na.ppm 0 0 1\nb.ppm 1 0 1\n");
  SourceImageSet set;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(read_source_images(lp.c_str(), 3, 2, set));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "2 images to read..done\n");
  EXPECT_EQ(set.count, 2);
  free_source_images(set);
}

TEST(SourceImages, ACountOfZeroLoadsNothingAndSelectsNothing) {
  ScratchDirectory dir("source-images");
  write_file_bytes(dir.file("map.lp"), "0\n");
  SourceImageSet set;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(read_source_images(dir.file("map.lp").c_str(), 3, 2, set));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "0 images to read"
            "done\n");
  EXPECT_EQ(set.count, 0);
  EXPECT_EQ(select_source_image(set, 0, 0, true), -1);
  free_source_images(set);
}

TEST(SourceImages, TheNearestPhotographWithinATenthIsSelectedTheFirstOfEquals) {
  // Only the directions take part in the choice.
  auto set_of = [](std::vector<SourceImage>& records) {
    SourceImageSet set;
    set.images = records.data();
    set.count = static_cast<int>(records.size());
    return set;
  };
  std::vector<SourceImage> spread{{nullptr, 0, 0}, {nullptr, 0.6f, 0}, {nullptr, 0.2f, 0.2f}};
  std::vector<SourceImage> pair{{nullptr, -0.05f, 0}, {nullptr, 0.05f, 0}};
  std::vector<SourceImage> pair_reversed{{nullptr, 0.05f, 0}, {nullptr, -0.05f, 0}};
  const struct {
    const char* what;
    std::vector<SourceImage>* records;
    float lu, lv;
    int expected;
  } cases[] = {
      {"exactly on the first", &spread, 0, 0, 0},
      {"exactly on the second", &spread, 0.6f, 0, 1},
      {"near the second", &spread, 0.55f, 0.03f, 1},
      // 0.1² + 0.1² = 0.02 from both (0, 0) and (0.2, 0.2).
      {"0.02 from the nearest two", &spread, 0.1f, 0.1f, -1},
      {"just beyond a tenth", &spread, 0, 0.1001f, -1},
      {"just within a tenth", &spread, 0, 0.0999f, 0},
      {"far from all", &spread, -0.9f, 0.3f, -1},
      {"equally near two", &pair, 0, 0, 0},
      {"equally near two, listed the other way", &pair_reversed, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SourceImageSet set = set_of(*c.records);
    testing::internal::CaptureStdout();
    EXPECT_EQ(select_source_image(set, c.lu, c.lv, true), c.expected);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              c.expected < 0 ? "" : "Source image " + std::to_string(c.expected) + " displayed\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(select_source_image(set, c.lu, c.lv, false), c.expected);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  }
}
