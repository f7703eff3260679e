#include "writers/cropped_ptm_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/region.h"
#include "common/rgb_image.h"
#include "ptm/reader.h"
#include "render/evaluate.h"
#include "render/render_image.h"
#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/write_failures.h"
#include "writers/compressed_ptm_writer.h"

namespace {

bool operator==(const PtmRect& a, const PtmRect& b) {
  return a.xs == b.xs && a.ys == b.ys && a.w == b.w && a.h == b.h;
}

std::string text(const PtmRect& r) {
  return std::to_string(r.w) + " x " + std::to_string(r.h) + " at " + std::to_string(r.xs) + " " +
         std::to_string(r.ys);
}

}  // namespace

// View corners to map pixels: as they stand unzoomed, through
// trunc(size * pan + view / zoom + 0.5) zoomed, ordered either way and
// forced into the map.
TEST(CropRectangle, MapsTheViewSelectionToMapPixels) {
  const struct {
    const char* name;
    ViewSelection selection;
    int width, height;
    PtmRect expected;
  } cases[] = {
      {"unzoomed", {2, 3, 5, 7, false, 1.0f, 0, 0}, 10, 10, {2, 3, 4, 5}},
      {"unzoomed, dragged right to left and downward", {5, 7, 2, 3, false, 1.0f, 0, 0}, 10, 10,
       {2, 3, 4, 5}},
      {"unzoomed, one pixel", {4, 4, 4, 4, false, 1.0f, 0, 0}, 10, 10, {4, 4, 1, 1}},
      {"unzoomed, corners beyond the map", {-3, 2, 12, 40, false, 1.0f, 0, 0}, 10, 10,
       {0, 2, 10, 8}},
      // 100 + x / 2 + 0.5: view 0 -> 100.5 -> 100, view 99 -> 150.
      {"zoom 2 from (0.25, 0.25)", {0, 0, 99, 99, true, 2.0f, 0.25f, 0.25f}, 400, 400,
       {100, 100, 51, 51}},
      {"zoom 2 from (0.25, 0.25), right to left", {99, 99, 0, 0, true, 2.0f, 0.25f, 0.25f}, 400,
       400, {100, 100, 51, 51}},
      // Zoomed out: 2x + 0.5 -> 2x; 0 .. 198 and 0 .. 98.
      {"zoom 0.5", {0, 0, 99, 49, true, 0.5f, 0, 0}, 200, 100, {0, 0, 199, 99}},
      // -25 + 0.5 -> trunc -24 -> 0; -25 + 49.5 + 0.5 = 25; y 50 + 10 + 0.5 -> 60.
      {"zoom 2 panned past the left edge", {0, 20, 99, 20, true, 2.0f, -0.25f, 0.5f}, 100, 100,
       {0, 60, 26, 1}},
      // 75 + 25 + 0.5 and 75 + 49.5 + 0.5 both beyond 99; y 9 / 2 + 0.5 = 5.
      {"zoom 2 panned past the right edge", {50, 0, 99, 9, true, 2.0f, 0.75f, 0}, 100, 100,
       {99, 0, 1, 6}},
  };
  for (const auto& c : cases) {
    const PtmRect got = crop_rectangle(c.selection, c.width, c.height);
    EXPECT_TRUE(got == c.expected) << c.name << ": " << text(got);
  }
}

namespace {

constexpr int width = 16;
constexpr int height = 8;

Ptm* read_quietly(const std::string& path, CoefRepresentation representation) {
  testing::internal::CaptureStdout();
  Ptm* ptm = read_ptm_file(path.c_str(), representation);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(ptm, nullptr) << printed;
  return ptm;
}

std::vector<std::uint8_t> render(const Ptm& ptm, float u, float v) {
  RgbImage* image = new_rgb_image(ptm.width, ptm.height);
  render_plain_image(*image, ptm, u, v, 0, 0);
  std::vector<std::uint8_t> pixels(image->pixels, image->pixels + 3 * pixel_count(ptm));
  free_rgb_image(image);
  return pixels;
}

// The stored bytes of pixel (x, y): coefficient bytes of every plane pair,
// then the colour bytes the format keeps.
std::vector<std::uint8_t> stored_bytes(const Ptm& ptm, int x, int y) {
  const std::size_t p = static_cast<std::size_t>(y) * ptm.width + x;
  std::vector<std::uint8_t> out;
  const int planes = ptm.format == PTM_FORMAT_RGB ? 6 : 2;
  for (int k = 0; k < planes; ++k) {
    out.insert(out.end(), ptm.coef_planes[k] + 3 * p, ptm.coef_planes[k] + 3 * p + 3);
  }
  if (ptm.format == PTM_FORMAT_LRGB) {
    std::uint8_t rgb[3];
    get_lrgb_color(ptm, p, rgb);
    out.insert(out.end(), rgb, rgb + 3);
  }
  if (ptm.format == PTM_FORMAT_LUM) {
    out.push_back(ptm.color_planes[0][p]);
    out.push_back(ptm.color_planes[2][p]);
  }
  return out;
}

// The file written for `selection` of `source`, re-read: the same format,
// scales, biases and colour matrix, and pixel (x, y) of the crop holds the
// stored bytes of source pixel (xs + x, ys + y).
void expect_crop_reads_back(const Ptm& source, const PtmRect& rect, const std::string& path,
                            CoefRepresentation representation, const std::string& what) {
  Ptm* back = read_quietly(path, representation);
  ASSERT_NE(back, nullptr) << what;
  EXPECT_EQ(back->format, source.format) << what;
  ASSERT_EQ(back->width, rect.w) << what;
  ASSERT_EQ(back->height, rect.h) << what;
  EXPECT_EQ(std::memcmp(back->scale_bias, source.scale_bias, 12 * sizeof(std::int32_t)), 0) << what;
  if (source.format == PTM_FORMAT_LUM) {
    EXPECT_EQ(std::memcmp(back->color_matrix, source.color_matrix, 16 * sizeof(float)), 0) << what;
  }
  int differing = 0;
  for (int y = 0; y < rect.h; ++y) {
    for (int x = 0; x < rect.w; ++x) {
      differing += stored_bytes(*back, x, y) != stored_bytes(source, rect.xs + x, rect.ys + y);
    }
  }
  EXPECT_EQ(differing, 0) << what;
  free_ptm(back);
}

struct SourceFile {
  std::string name;
  std::string path;
};

// A 16 x 8 map in each of the nine storage formats (with both layouts of
// the uncompressed ones), its scales written so that "%f" could not carry
// them all and, for LUM, the colour matrix of a YCbCr map as a file
// written with "%f" holds it.
std::vector<SourceFile> write_sources(const ScratchDirectory& scratch) {
  std::vector<SourceFile> files;
  auto add = [&](const std::string& name, PtmFixture f) {
    f.scale_line = "1.00390625 0.7 2.0 0.25390625 1.5 0.00390625\n";
    f.bias_line = "3 0 17 255 9 128\n";
    f.matrix_line =
        "0.000000 1.000000 1.402000 -179.456000 -0.344136 1.000000 -0.714136 135.458880 "
        "1.772000 1.000000 0.000000 -226.816000 0.000000 0.000000 0.000000 1.000000\n";
    files.push_back({name, scratch.file(name + ".ptm")});
    write_file_bytes(files.back().path, ptm_fixture_bytes(f));
  };
  add("RGB 1.2", random_ptm_fixture(0, 2, width, height, 1));
  add("RGB 1.1", random_ptm_fixture(0, 1, width, height, 2));
  add("LUM", random_ptm_fixture(1, 2, width, height, 3));
  add("LRGB 1.2", random_ptm_fixture(2, 2, width, height, 4));
  add("LRGB 1.1", random_ptm_fixture(2, 1, width, height, 5));
  add("PTM_LUT", random_ptm_fixture(3, 2, width, height, 6, 40));
  add("PTM_C_LUT", random_ptm_fixture(4, 2, width, height, 7, 40));
  for (int format : {PTM_FORMAT_RGB, PTM_FORMAT_LRGB}) {
    Ptm* map = read_quietly(files[format == PTM_FORMAT_RGB ? 0 : 3].path, CoefRepresentation::wide);
    for (int type : {compression_jpeg, compression_jpegls}) {
      CompressedPtmOptions options;
      options.compression_type = type;
      const std::string name = std::string(type == compression_jpeg ? "JPEG " : "JPEG-LS ") +
                               (format == PTM_FORMAT_RGB ? "RGB" : "LRGB");
      files.push_back({name, scratch.file(name + ".ptm")});
      testing::internal::CaptureStdout();
      EXPECT_TRUE(write_compressed_ptm(*map, files.back().path.c_str(), options)) << name;
      testing::internal::GetCapturedStdout();
    }
    free_ptm(map);
  }
  return files;
}

}  // namespace

// Every format the reader loads, in both coefficient representations: the
// cropped file re-read holds the stored bytes of the region unchanged and
// the whole map cropped renders as the map does; a region dragged right to
// left writes the same file as left to right; the zoomed example lands on
// map pixels 100 .. 150.
TEST(CroppedPtmWriter, CroppedFilesReadBackWithTheRegionsStoredBytes) {
  ScratchDirectory scratch("cropped");
  const std::vector<SourceFile> sources = write_sources(scratch);
  const std::string path = scratch.file("crop.ptm");
  const std::string reversed_path = scratch.file("crop-reversed.ptm");
  for (const SourceFile& source : sources) {
    for (CoefRepresentation representation :
         {CoefRepresentation::packed, CoefRepresentation::wide}) {
      const std::string what =
          source.name + (representation == CoefRepresentation::packed ? " packed" : " wide");
      Ptm* map = read_quietly(source.path, representation);
      ASSERT_NE(map, nullptr) << what;

      const PtmRect region = crop_rectangle({3, 2, 11, 6, false, 1.0f, 0, 0}, width, height);
      testing::internal::CaptureStdout();
      ASSERT_TRUE(write_cropped_ptm_file(*map, region, path.c_str())) << what;
      EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing PTM File " + path + "\n");
      expect_crop_reads_back(*map, region, path, representation, what);

      const PtmRect reversed = crop_rectangle({11, 6, 3, 2, false, 1.0f, 0, 0}, width, height);
      testing::internal::CaptureStdout();
      ASSERT_TRUE(write_cropped_ptm_file(*map, reversed, reversed_path.c_str()));
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(read_file_bytes(reversed_path), read_file_bytes(path)) << what;

      const PtmRect whole = crop_rectangle({0, 0, width - 1, height - 1, false, 1.0f, 0, 0},
                                           width, height);
      testing::internal::CaptureStdout();
      ASSERT_TRUE(write_cropped_ptm_file(*map, whole, path.c_str()));
      testing::internal::GetCapturedStdout();
      expect_crop_reads_back(*map, whole, path, representation, what + " whole");
      Ptm* back = read_quietly(path, representation);
      ASSERT_NE(back, nullptr);
      for (const auto& light : {std::pair{0.0f, 0.0f}, {0.7f, 0.2f}, {-0.4f, -0.6f}}) {
        EXPECT_EQ(render(*back, light.first, light.second), render(*map, light.first, light.second))
            << what << " light (" << light.first << ", " << light.second << ")";
      }
      free_ptm(back);
      free_ptm(map);
    }
  }

  // Zoomed in by 2 from (0.25, 0.25) of a 400 x 400 map.
  const std::string big = scratch.file("big.ptm");
  write_file_bytes(big, ptm_fixture_bytes(random_ptm_fixture(2, 2, 400, 400, 8)));
  Ptm* map = read_quietly(big, CoefRepresentation::packed);
  ASSERT_NE(map, nullptr);
  for (const ViewSelection& selection : {ViewSelection{0, 0, 99, 99, true, 2.0f, 0.25f, 0.25f},
                                         ViewSelection{99, 99, 0, 0, true, 2.0f, 0.25f, 0.25f}}) {
    const PtmRect rect = crop_rectangle(selection, 400, 400);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(write_cropped_ptm_file(*map, rect, path.c_str()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file_bytes(path).substr(0, 30), "PTM_1.2\nPTM_FORMAT_LRGB\n51\n51\n");
    expect_crop_reads_back(*map, {100, 100, 51, 51}, path, CoefRepresentation::packed, "zoomed");
  }

  // After 'd' the map writes its unchanged stored coefficients and grey.
  const std::string before = read_file_bytes(path);
  float constant_term = 0;
  ASSERT_TRUE(discard_color(*map, constant_term));
  testing::internal::CaptureStdout();
  ASSERT_TRUE(write_cropped_ptm_file(*map, {100, 100, 51, 51}, path.c_str()));
  testing::internal::GetCapturedStdout();
  const std::string after = read_file_bytes(path);
  const std::size_t colours = 51 * 51 * 3;
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after.substr(0, after.size() - colours), before.substr(0, before.size() - colours));
  EXPECT_EQ(after.substr(after.size() - colours), std::string(colours, '\x7f'));
  free_ptm(map);
}

// A write that fails part way leaves no file; a file that cannot be made,
// a format without a writer and a region outside the map are refused with
// their messages and leave nothing either.
TEST(CroppedPtmWriter, FailuresAreReportedAndLeaveNoFile) {
  ScratchDirectory scratch("cropped-failure");
  const std::string source = scratch.file("source.ptm");
  write_file_bytes(source, ptm_fixture_bytes(random_ptm_fixture(0, 2, 32, 32, 9)));
  Ptm* map = read_quietly(source, CoefRepresentation::wide);
  ASSERT_NE(map, nullptr);
  std::filesystem::remove(source);
  const std::string path = scratch.file("crop.ptm");
  {
    FileSizeLimit limit(1000);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(write_cropped_ptm_file(*map, {0, 0, 32, 32}, path.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing PTM File " + path + "\n");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error writing PTM file " + path),
              std::string::npos);
  }
  testing::internal::CaptureStdout();
  EXPECT_FALSE(write_cropped_ptm_file(*map, {0, 0, 4, 4}, "/nonexistent-dir/crop.ptm"));
  EXPECT_FALSE(write_cropped_ptm_file(*map, {30, 0, 4, 4}, path.c_str()));
  map->format = PTM_FORMAT_JPEG_RGB;
  EXPECT_FALSE(write_cropped_ptm_file(*map, {0, 0, 4, 4}, path.c_str()));
  map->format = PTM_FORMAT_RGB;
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Can't open PTM file /nonexistent-dir/crop.ptm for writing\n"
            "PTM write error: region 4 x 4 at 30 0 is not inside the 32 x 32 map\n"
            "PTM write error: Unsupported ptm format\n");
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path));
  free_ptm(map);
}
