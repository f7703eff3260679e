#include "writers/ptm_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ptm/ptm.h"
#include "ptm/reader.h"

namespace {

std::string temp_path(const char* name) {
  return testing::TempDir() + "relumo_writer_" + std::to_string(getpid()) + "_" + name;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// Scales 1.0, 1.5, 0.5, 2.0, 1.0, 1.0 and biases 0..5 print as plain "%f".
void set_plain_scale_bias(Ptm& ptm) {
  const std::int32_t values[12] = {256, 384, 128, 512, 256, 256, 0, 1, 2, 3, 4, 5};
  for (int i = 0; i < 12; ++i) ptm.scale_bias[i] = values[i];
}

// Byte i of coefficient plane p is 16 * p + i, so every byte names its
// plane and position.
void fill_planes(Ptm& ptm, int planes) {
  const std::size_t n = pixel_count(ptm) * 3;
  for (int p = 0; p < planes; ++p) {
    for (std::size_t i = 0; i < n; ++i)
      ptm.coef_planes[p][i] = static_cast<std::uint8_t>(16 * p + i);
  }
}

const char* plain_header_tail =
    "1.000000 1.500000 0.500000 2.000000 1.000000 1.000000\n"
    "0 1 2 3 4 5\n";

}  // namespace

// A 3 x 2 RGB map, region x = 1..2, y = 0..1: rows in increasing order, each
// from x = 1 up (pixels 1, 2, 4, 5), then the red, green and blue blocks.
TEST(PtmWriter, WritesRgbRegionHeaderAndChannelBlocks) {
  Ptm* ptm = create_ptm(3, 2, PTM_FORMAT_RGB, CoefRepresentation::wide);
  set_plain_scale_bias(*ptm);
  fill_planes(*ptm, 6);
  const std::string path = temp_path("rgb.ptm");
  ASSERT_TRUE(write_ptm_region(*ptm, path.c_str(), 1, 0, 2, 2));

  const std::string expected = std::string("PTM_1.2\nPTM_FORMAT_RGB\n2\n2\n") + plain_header_tail +
                               // red: plane 0 then plane 1 per pixel
                               bytes({3,  4,  5,  19, 20, 21, 6,  7,  8,  22, 23, 24,
                                      12, 13, 14, 28, 29, 30, 15, 16, 17, 31, 32, 33}) +
                               // green: planes 2 and 3
                               bytes({35, 36, 37, 51, 52, 53, 38, 39, 40, 54, 55, 56,
                                      44, 45, 46, 60, 61, 62, 47, 48, 49, 63, 64, 65}) +
                               // blue: planes 4 and 5
                               bytes({67, 68, 69, 83, 84, 85, 70, 71, 72, 86, 87, 88,
                                      76, 77, 78, 92, 93, 94, 79, 80, 81, 95, 96, 97});
  EXPECT_EQ(read_file(path), expected);
  std::remove(path.c_str());
  free_ptm(ptm);
}

// LUM: the colour matrix as four lines of four "%f" numbers, then per pixel
// six coefficient bytes and the two chroma bytes (colour planes 0 and 2).
TEST(PtmWriter, WritesLumMatrixAndInterleavedChroma) {
  Ptm* ptm = create_ptm(2, 1, PTM_FORMAT_LUM);
  set_plain_scale_bias(*ptm);
  fill_planes(*ptm, 2);
  for (int i = 0; i < 16; ++i) ptm->color_matrix[i] = 0.25f * i - 1.0f;
  ptm->color_planes[0][0] = 200;
  ptm->color_planes[0][1] = 201;
  ptm->color_planes[2][0] = 100;
  ptm->color_planes[2][1] = 101;
  const std::string path = temp_path("lum.ptm");
  ASSERT_TRUE(write_ptm_region(*ptm, path.c_str(), 0, 0, 2, 1));

  const std::string expected =
      std::string("PTM_1.2\nPTM_FORMAT_LUM\n2\n1\n") + plain_header_tail +
      "-1.000000 -0.750000 -0.500000 -0.250000\n"
      "0.000000 0.250000 0.500000 0.750000\n"
      "1.000000 1.250000 1.500000 1.750000\n"
      "2.000000 2.250000 2.500000 2.750000\n" +
      bytes({0, 1, 2, 16, 17, 18, 200, 100, 3, 4, 5, 19, 20, 21, 201, 101});
  EXPECT_EQ(read_file(path), expected);
  std::remove(path.c_str());
  free_ptm(ptm);
}

// LRGB: all coefficient bytes first, then all colours, wherever the
// representation keeps the colour; both write the same file.
TEST(PtmWriter, WritesLrgbCoefficientBlockThenColourBlockInBothRepresentations) {
  const std::string expected = std::string("PTM_1.2\nPTM_FORMAT_LRGB\n1\n2\n") + plain_header_tail +
                               bytes({3, 4, 5, 19, 20, 21, 9, 10, 11, 25, 26, 27}) +
                               bytes({11, 12, 13, 31, 32, 33});
  for (CoefRepresentation representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    Ptm* ptm = create_ptm(2, 2, PTM_FORMAT_LRGB, representation);
    set_plain_scale_bias(*ptm);
    fill_planes(*ptm, 2);
    for (std::size_t p = 0; p < 4; ++p) {
      const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(10 * p + 1),
                                   static_cast<std::uint8_t>(10 * p + 2),
                                   static_cast<std::uint8_t>(10 * p + 3)};
      set_lrgb_color(*ptm, p, rgb);
    }
    const std::string path = temp_path("lrgb.ptm");
    ASSERT_TRUE(write_ptm_region(*ptm, path.c_str(), 1, 0, 1, 2));
    EXPECT_EQ(read_file(path), expected)
        << (representation == CoefRepresentation::packed ? "packed" : "wide");
    std::remove(path.c_str());
    free_ptm(ptm);
  }
}

// "%f" keeps six decimals; a scale it cannot carry is written exactly.
TEST(PtmWriter, ScalesAreWrittenSoTheyReadBackToTheStoredFixedPoint) {
  const struct {
    std::int32_t fixed;
    const char* text;
  } cases[] = {
      {179, "0.699219"},  // trunc(0.699219 * 256) = trunc(179.000064) = 179
      {256, "1.000000"},   {384, "1.500000"},
      {257, "1.00390625"},  // "1.003906" would read back as 256
      {65, "0.25390625"},   // "0.253906" would read back as 64
      {1, "0.00390625"},    // "0.003906" would read back as 0
      {-179, "-0.699219"}, {51200, "200.000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(scale_text(c.fixed), c.text) << c.fixed;

  // Every scale up to 512.0, read back as a reader does: trunc(float * 256).
  for (std::int32_t fixed = 1; fixed <= 131072; ++fixed) {
    const float value = std::strtof(scale_text(fixed).c_str(), nullptr);
    ASSERT_EQ(static_cast<std::int32_t>(value * 256.0f), fixed);
  }
}

// A map whose scales "%f" alone would damage (257, 65, 1), written and read
// back by the PTM reader: every stored value comes back unchanged.
TEST(PtmWriter, WrittenMapsReadBackWithIdenticalStoredValues) {
  const std::int32_t scale_bias[12] = {179, 257, 65, 1, 384, 51200, -3, 0, 10, 255, 7, 300};
  for (CoefRepresentation representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
    Ptm* ptm = create_ptm(5, 3, PTM_FORMAT_LRGB, representation);
    for (int i = 0; i < 12; ++i) ptm->scale_bias[i] = scale_bias[i];
    for (std::size_t i = 0; i < 15 * 3; ++i) {
      ptm->coef_planes[0][i] = static_cast<std::uint8_t>(37 * i + 11);
      ptm->coef_planes[1][i] = static_cast<std::uint8_t>(91 * i + 5);
    }
    for (std::size_t i = 0; i < 15; ++i) {
      const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(3 * i),
                                   static_cast<std::uint8_t>(250 - i),
                                   static_cast<std::uint8_t>(7 * i + 1)};
      set_lrgb_color(*ptm, i, rgb);
    }
    const std::string path = temp_path("round_trip.ptm");
    ASSERT_TRUE(write_ptm_region(*ptm, path.c_str(), 0, 0, 5, 3));
    testing::internal::CaptureStdout();
    Ptm* back = read_ptm_file(path.c_str(), representation);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, 5);
    EXPECT_EQ(back->height, 3);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(back->scale_bias[i], scale_bias[i]) << "entry " << i;
    EXPECT_EQ(std::memcmp(back->coef_planes[0], ptm->coef_planes[0], 45), 0);
    EXPECT_EQ(std::memcmp(back->coef_planes[1], ptm->coef_planes[1], 45), 0);
    for (std::size_t i = 0; i < 15; ++i) {
      std::uint8_t written[3], read[3];
      get_lrgb_color(*ptm, i, written);
      get_lrgb_color(*back, i, read);
      EXPECT_EQ(std::memcmp(written, read, 3), 0) << "pixel " << i;
    }
    std::remove(path.c_str());
    free_ptm(back);
    free_ptm(ptm);
  }
}

// Bad regions and formats are refused before a file is made; a file that
// cannot be opened is reported, one that cannot be written is not passed
// off as written.
TEST(PtmWriter, RefusesBadRegionsAndReportsUnwritableFiles) {
  Ptm* ptm = create_ptm(3, 2, PTM_FORMAT_RGB, CoefRepresentation::wide);
  set_plain_scale_bias(*ptm);
  fill_planes(*ptm, 6);
  const std::string path = temp_path("refused.ptm");
  EXPECT_FALSE(write_ptm_region(*ptm, path.c_str(), 2, 0, 2, 1));   // past the right edge
  EXPECT_FALSE(write_ptm_region(*ptm, path.c_str(), 0, 1, 1, 2));   // past the top
  EXPECT_FALSE(write_ptm_region(*ptm, path.c_str(), -1, 0, 1, 1));  // left of the map
  EXPECT_FALSE(write_ptm_region(*ptm, path.c_str(), 0, 0, 0, 1));   // empty
  ptm->format = PTM_FORMAT_JPEG_RGB;
  EXPECT_FALSE(write_ptm_region(*ptm, path.c_str(), 0, 0, 1, 1));
  ptm->format = PTM_FORMAT_RGB;
  EXPECT_FALSE(std::filesystem::exists(path));

  testing::internal::CaptureStdout();
  EXPECT_FALSE(write_ptm_region(*ptm, "/nonexistent-dir/out.ptm", 0, 0, 2, 2));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Can't open PTM file /nonexistent-dir/out.ptm for writing\n");
  // /dev/full opens, but every write fails with "no space left".
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(write_ptm_region(*ptm, "/dev/full", 0, 0, 2, 2));
  }
  free_ptm(ptm);
}
