#include "ptm/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/ptm_fixture.h"

namespace {

struct ReadResult {
  Ptm* ptm;
  std::string output;
};

ReadResult read_capturing(const std::string& path, CoefRepresentation representation) {
  testing::internal::CaptureStdout();
  Ptm* ptm = read_ptm_file(path.c_str(), representation);
  return {ptm, testing::internal::GetCapturedStdout()};
}

class PtmReaderTest : public testing::Test {
 protected:
  void SetUp() override { directory_ = make_temp_directory("reader"); }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = directory_ + "/" + name;
    write_file_bytes(path, bytes);
    return path;
  }

  // Reads `bytes` as a file and expects refusal with `message` in the output.
  void expect_refused(const std::string& bytes, const std::string& message) {
    const std::string path = write("bad.ptm", bytes);
    for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
      ReadResult result = read_capturing(path, representation);
      EXPECT_EQ(result.ptm, nullptr);
      EXPECT_NE(result.output.find(message), std::string::npos) << result.output;
      free_ptm(result.ptm);
    }
  }

  std::string directory_;
};

// The coefficient of stored byte b with fixed-point scale S and bias B, in
// display units: (b - B) * S / 256 with the quotient truncated toward zero.
int display_units(int b, int S, int B) { return (b - B) * S / 256; }

int expected_packed(int b, int S, int B) {
  return std::clamp(display_units(b, S, B), -32768, 32767);
}

int expected_wide(int k, int b, int S, int B) {
  return display_units(b, S, B) * (k == 5 ? 16384 : 16);
}

// Stored bytes, colour and integer coefficients of `ptm` against the
// fixture's chosen values, for pixel-indexed coefficient sets.
void expect_matches_fixture(const Ptm& ptm, const PtmFixture& f, const int* scale,
                            const int* bias) {
  const std::size_t pixels = static_cast<std::size_t>(f.width) * f.height;
  const bool table = f.format >= 3;
  const int channels = f.format == 0 ? 3 : 1;
  for (std::size_t p = 0; p < pixels; ++p) {
    const std::size_t set = table ? static_cast<std::size_t>(f.indices[p]) : p;
    for (int c = 0; c < channels; ++c) {
      const std::uint8_t* chosen = f.coefficients[c].data() + set * 6;
      for (int k = 0; k < 6; ++k) {
        const std::uint8_t* plane = ptm.coef_planes[2 * c + k / 3];
        ASSERT_EQ(plane[p * 3 + k % 3], chosen[k]) << "pixel " << p << " channel " << c;
        int converted = 0;
        if (ptm.packed_rgb != nullptr)
          converted = ptm.packed_rgb[p * 24 + 8 * c + k];
        else if (ptm.packed_lrgb != nullptr)
          converted = ptm.packed_lrgb[p].coef[k];
        else if (f.format == 0)
          converted = ptm.coef_int[c][p * 6 + k];
        else
          converted = ptm.lum_coef_int[p * 6 + k];
        const int expected = uses_packed(ptm) ? expected_packed(chosen[k], scale[k], bias[k])
                                              : expected_wide(k, chosen[k], scale[k], bias[k]);
        ASSERT_EQ(converted, expected) << "pixel " << p << " coefficient " << k;
      }
      if (ptm.packed_rgb != nullptr) {
        EXPECT_EQ(ptm.packed_rgb[p * 24 + 8 * c + 6], 0);
        EXPECT_EQ(ptm.packed_rgb[p * 24 + 8 * c + 7], 0);
      }
    }
    if (f.format == 1) {
      EXPECT_EQ(ptm.color_planes[0][p], f.colour[p * 2]);
      EXPECT_EQ(ptm.color_planes[2][p], f.colour[p * 2 + 1]);
    } else if (f.format != 0) {
      const std::uint8_t* chosen = f.colour.data() + (f.format == 4 ? set : p) * 3;
      std::uint8_t rgb[3];
      get_lrgb_color(ptm, p, rgb);
      EXPECT_EQ(rgb[0], chosen[0]);
      EXPECT_EQ(rgb[1], chosen[1]);
      EXPECT_EQ(rgb[2], chosen[2]);
      if (ptm.packed_lrgb != nullptr) {
        EXPECT_EQ(ptm.packed_lrgb[p].zero, 0);
      }
    }
  }
}

struct FormatCase {
  int format;
  int version_minor;
  const char* line;
  int memory_format;
};

const FormatCase format_cases[] = {
    {0, 1, "RGB Format\n", 0},       {0, 2, "RGB Format\n", 0},   {1, 1, "Luminance Format\n", 1},
    {1, 2, "Luminance Format\n", 1}, {2, 1, "LRGB Format\n", 2},  {2, 2, "LRGB Format\n", 2},
    {3, 2, "LUT Format\n", 2},       {4, 1, "C_LUT Format\n", 2},
};

TEST_F(PtmReaderTest, EveryUncompressedFormatAndLayoutReadsTheChosenBytes) {
  const int scale[6] = {256, 384, 179, 512, 300, 256};
  const int bias[6] = {0, 128, 16, 200, 255, 8};
  unsigned seed = 7;
  for (const FormatCase& c : format_cases) {
    PtmFixture f =
        random_ptm_fixture(c.format, c.version_minor, 7, 5, seed++, c.format >= 3 ? 11 : 0);
    // 1.5 -> 384, 0.7 -> 179 (truncated), 1.171875 -> 300.
    f.scale_line = "1.0 1.5 0.7 2.0 1.171875 1\n";
    f.bias_line = "0 128 16 200 255 8\n";
    const std::string path = write("map.ptm", ptm_fixture_bytes(f));
    for (auto representation : {CoefRepresentation::packed, CoefRepresentation::wide}) {
      SCOPED_TRACE(testing::Message()
                   << c.line << "version 1." << c.version_minor
                   << (representation == CoefRepresentation::packed ? " packed" : " wide"));
      ReadResult result = read_capturing(path, representation);
      ASSERT_NE(result.ptm, nullptr) << result.output;
      EXPECT_EQ(result.output, path + "\n" + c.line + (c.format >= 3 ? "11 LUT entries.\n" : ""));
      const Ptm& ptm = *result.ptm;
      EXPECT_EQ(ptm.width, 7);
      EXPECT_EQ(ptm.height, 5);
      EXPECT_EQ(ptm.format, c.memory_format);
      for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(ptm.scale_bias[k], scale[k]);
        EXPECT_EQ(ptm.scale_bias[6 + k], bias[k]);
      }
      // LUM has only the wide form, whatever was asked for.
      EXPECT_EQ(uses_packed(ptm), representation == CoefRepresentation::packed && c.format != 1);
      expect_matches_fixture(ptm, f, scale, bias);
      EXPECT_EQ(ptm.normals, nullptr);
      EXPECT_EQ(ptm.mask, nullptr);
      free_ptm(result.ptm);
    }
  }
}

TEST_F(PtmReaderTest, ConversionSaturatesPackedAndTruncatesTowardZero) {
  PtmFixture f = random_ptm_fixture(2, 2, 2, 1, 3);
  // Pixel 0: byte 255 at scale 200 (51200) and bias 0 -> 51000 display units.
  // Pixel 1: byte 99 against bias 100 at scale 255/256 -> -255/256 = 0, not -1.
  f.scale_line = "200 200 200 200 200 0.99609375\n";
  f.bias_line = "0 0 0 0 0 100\n";
  std::fill(f.coefficients[0].begin(), f.coefficients[0].begin() + 6, 255);
  f.coefficients[0][11] = 99;
  const std::string path = write("saturate.ptm", ptm_fixture_bytes(f));

  ReadResult packed = read_capturing(path, CoefRepresentation::packed);
  ASSERT_NE(packed.ptm, nullptr);
  EXPECT_EQ(packed.ptm->packed_lrgb[0].coef[0], 32767);
  EXPECT_EQ(packed.ptm->packed_lrgb[1].coef[5], 0);
  ReadResult wide = read_capturing(path, CoefRepresentation::wide);
  ASSERT_NE(wide.ptm, nullptr);
  EXPECT_EQ(wide.ptm->lum_coef_int[0], 51000 * 16);
  EXPECT_EQ(wide.ptm->lum_coef_int[11], 0);
  free_ptm(packed.ptm);
  free_ptm(wide.ptm);
}

TEST_F(PtmReaderTest, Version11AndVersion12RgbGiveIdenticalMaps) {
  PtmFixture v11 = random_ptm_fixture(0, 1, 6, 4, 21);
  PtmFixture v12 = v11;
  v12.version_minor = 2;
  v12.magic = "PTM_1.2";
  const std::string a = write("v11.ptm", ptm_fixture_bytes(v11));
  const std::string b = write("v12.ptm", ptm_fixture_bytes(v12));
  ASSERT_NE(ptm_fixture_bytes(v11), ptm_fixture_bytes(v12));
  ReadResult first = read_capturing(a, CoefRepresentation::packed);
  ReadResult second = read_capturing(b, CoefRepresentation::packed);
  ASSERT_NE(first.ptm, nullptr);
  ASSERT_NE(second.ptm, nullptr);
  const std::size_t pixels = 24;
  for (int plane = 0; plane < 6; ++plane) {
    EXPECT_TRUE(std::equal(first.ptm->coef_planes[plane],
                           first.ptm->coef_planes[plane] + pixels * 3,
                           second.ptm->coef_planes[plane]));
  }
  EXPECT_TRUE(std::equal(first.ptm->packed_rgb, first.ptm->packed_rgb + pixels * 24,
                         second.ptm->packed_rgb));
  free_ptm(first.ptm);
  free_ptm(second.ptm);
}

TEST_F(PtmReaderTest, MagicWordVersionsAndFamilies) {
  const PtmFixture base = random_ptm_fixture(2, 2, 2, 2, 5);
  for (const char* accepted : {"PTM_1.1", "PTM_1.2", "SRF_1.2", "PTMx1y2"}) {
    PtmFixture f = base;
    f.magic = accepted;
    ReadResult result =
        read_capturing(write("m.ptm", ptm_fixture_bytes(f)), CoefRepresentation::wide);
    EXPECT_NE(result.ptm, nullptr) << accepted;
    free_ptm(result.ptm);
  }
  for (const char* version : {"PTM_2.0", "PTM_1.3", "PTM_1"}) {
    PtmFixture f = base;
    f.magic = version;
    expect_refused(ptm_fixture_bytes(f),
                   std::string("Only version 1.1 and 1.2 of the PTM file format is currently "
                               "supported, read format ") +
                       version + "\n");
  }
  PtmFixture wrong = base;
  wrong.magic = "XTM_1.2";
  // Described, not quoted: the first bytes of a file that is not a map.
  expect_refused(ptm_fixture_bytes(wrong), "/bad.ptm is not a PTM map\n");
  expect_refused("", "/bad.ptm is empty\n");
  expect_refused("\xFF\xD8\xFF\xE0", "/bad.ptm is a JPEG picture, not a PTM map\n");
}

TEST_F(PtmReaderTest, FormatWordIsClassifiedBySubstringInOrder) {
  struct Case {
    const char* word;
    int data_format;
    const char* line;
  } cases[] = {
      {"PTM_FORMAT_PTM_C_LUT", 4, "C_LUT Format\n"},
      {"PTM_FORMAT_PTM_LUT", 3, "LUT Format\n"},
      {"PTM_FORMAT_LRGB", 2, "LRGB Format\n"},  // does not contain "_FORMAT_RGB"
      {"XYZ_FORMAT_RGB_EXTRA", 0, "RGB Format\n"},
  };
  for (const Case& c : cases) {
    PtmFixture f = random_ptm_fixture(c.data_format, 2, 3, 2, 9, c.data_format >= 3 ? 4 : 0);
    f.format_word = c.word;
    ReadResult result =
        read_capturing(write("f.ptm", ptm_fixture_bytes(f)), CoefRepresentation::packed);
    EXPECT_NE(result.ptm, nullptr) << c.word;
    EXPECT_NE(result.output.find(c.line), std::string::npos) << result.output;
    free_ptm(result.ptm);
  }
  PtmFixture unknown = random_ptm_fixture(2, 2, 3, 2, 9);
  unknown.format_word = "PTM_FORMAT_XYZ";
  expect_refused(ptm_fixture_bytes(unknown), "Read_ptm_error (ptm format) on ptm file ");
}

// The format line is printed for every compressed format; a compressed
// word followed by uncompressed data is not a compressed file.
TEST_F(PtmReaderTest, CompressedFormatsPrintTheirLine) {
  const struct {
    const char* word;
    const char* line;
    const char* refusal;
  } cases[] = {
      {"PTM_FORMAT_JPEG_RGB", "JPEG compressed RGB Format\n", "cannot be read"},
      {"PTM_FORMAT_JPEG_LRGB", "JPEG compressed LRGB Format\n", "cannot be read"},
      {"PTM_FORMAT_JPEGLS_RGB", "JPEG-LS compressed RGB Format\n", "cannot be read"},
      {"PTM_FORMAT_JPEGLS_LRGB", "JPEG-LS compressed LRGB Format\n", "cannot be read"},
  };
  for (const auto& c : cases) {
    PtmFixture f = random_ptm_fixture(2, 2, 3, 2, 1);
    f.format_word = c.word;
    const std::string path = write("c.ptm", ptm_fixture_bytes(f));
    ReadResult result = read_capturing(path, CoefRepresentation::packed);
    EXPECT_EQ(result.ptm, nullptr);
    EXPECT_NE(result.output.find(c.line), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Compressed ptm file " + path + " " + c.refusal),
              std::string::npos)
        << result.output;
  }
}

TEST_F(PtmReaderTest, BiasLineEndingsAndIntegerLiterals) {
  PtmFixture f = random_ptm_fixture(2, 2, 2, 2, 4);
  f.bias_line = "010 0x10 0 0 0 0 \n";  // octal 8, hexadecimal 16, one space before the line feed
  ReadResult result =
      read_capturing(write("b.ptm", ptm_fixture_bytes(f)), CoefRepresentation::packed);
  ASSERT_NE(result.ptm, nullptr) << result.output;
  EXPECT_EQ(result.ptm->scale_bias[6], 8);
  EXPECT_EQ(result.ptm->scale_bias[7], 16);
  free_ptm(result.ptm);

  for (const char* ending : {"0 0 0 0 0 0\r\n", "0 0 0 0 0 0  \n", "0 0 0 0 0 0\t\n"}) {
    PtmFixture bad = f;
    bad.bias_line = ending;
    expect_refused(ptm_fixture_bytes(bad), "Read error on ptm file: ");
  }
  PtmFixture few = f;
  few.scale_line = "1 1 1 1 1\n";
  few.bias_line = "";
  expect_refused(ptm_fixture_bytes(few), "Read error on ptm file: ");
}

TEST_F(PtmReaderTest, TablesUseOneOrTwoByteIndices) {
  // 256 entries: one byte per index.
  PtmFixture narrow = random_ptm_fixture(3, 2, 16, 16, 11, 256);
  for (int p = 0; p < 256; ++p) narrow.indices[p] = 255 - p;
  ReadResult a =
      read_capturing(write("n.ptm", ptm_fixture_bytes(narrow)), CoefRepresentation::packed);
  ASSERT_NE(a.ptm, nullptr) << a.output;
  EXPECT_NE(a.output.find("256 LUT entries.\n"), std::string::npos);
  EXPECT_EQ(ptm_fixture_bytes(narrow).size(),
            ptm_fixture_bytes(narrow).find("N_LUT_ENTRIES\n") + 14 + 256 * 6 + 256 + 256 * 3);
  EXPECT_EQ(a.ptm->coef_planes[0][0], narrow.coefficients[0][255 * 6]);
  free_ptm(a.ptm);

  // 257 entries: two bytes little-endian; 0x00 0x01 selects entry 256.
  PtmFixture wide = random_ptm_fixture(4, 2, 17, 17, 12, 257);
  wide.indices[0] = 256;
  const std::string bytes = ptm_fixture_bytes(wide);
  const std::size_t first_index = bytes.find("N_LUT_ENTRIES\n") + 14 + 257 * 9;
  EXPECT_EQ(bytes[first_index], '\x00');
  EXPECT_EQ(bytes[first_index + 1], '\x01');
  ReadResult b = read_capturing(write("w.ptm", bytes), CoefRepresentation::wide);
  ASSERT_NE(b.ptm, nullptr) << b.output;
  const int scale[6] = {256, 256, 256, 256, 256, 256};
  const int bias[6] = {};
  expect_matches_fixture(*b.ptm, wide, scale, bias);
  free_ptm(b.ptm);
}

TEST_F(PtmReaderTest, BinaryDataStartsRightAfterTheHeaderLineFeed) {
  // First table entry and first LUM pixel start with a space and a line
  // feed, which a reader that skips whitespace would swallow.
  PtmFixture table = random_ptm_fixture(4, 2, 3, 3, 13, 4);
  table.coefficients[0][0] = 0x20;
  table.coefficients[0][1] = 0x0a;
  PtmFixture lum = random_ptm_fixture(1, 2, 3, 3, 14);
  lum.coefficients[0][0] = 0x0a;
  lum.coefficients[0][1] = 0x20;
  const int scale[6] = {256, 256, 256, 256, 256, 256};
  const int bias[6] = {};
  for (const PtmFixture* f : {&table, &lum}) {
    ReadResult result =
        read_capturing(write("s.ptm", ptm_fixture_bytes(*f)), CoefRepresentation::packed);
    ASSERT_NE(result.ptm, nullptr) << result.output;
    expect_matches_fixture(*result.ptm, *f, scale, bias);
    free_ptm(result.ptm);
  }
}

TEST_F(PtmReaderTest, LumColourMatrixIsReadInFileOrder) {
  PtmFixture f = random_ptm_fixture(1, 2, 2, 2, 15);
  f.matrix_line = "0 1 0 0 0 0 1 0 1 0 0 0 0.5 0.25 2 -3\n";
  ReadResult result =
      read_capturing(write("lum.ptm", ptm_fixture_bytes(f)), CoefRepresentation::packed);
  ASSERT_NE(result.ptm, nullptr);
  const float expected[16] = {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0.5f, 0.25f, 2, -3};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(result.ptm->color_matrix[i], expected[i]) << i;
  free_ptm(result.ptm);

  PtmFixture short_matrix = f;
  short_matrix.matrix_line = "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0\n";
  expect_refused(ptm_fixture_bytes(short_matrix), "Read error on ptm luminance file " + directory_ +
                                                      "/bad.ptm. Color matrix read error\n");
}

TEST_F(PtmReaderTest, MaskIsLookedUpBesideTheFile) {
  PtmFixture f = random_ptm_fixture(2, 2, 2, 2, 16);
  const std::string path = write("scan.ptm", ptm_fixture_bytes(f));
  // Top row of the file first, no flip: mask entry i is the i-th file pixel.
  write("scanmask.ppm", std::string("P6\n2 2\n255\n") +
                            std::string("\x00\x01\x02\xff\x01\x02\x07\x00\x00\x00\x00\x00", 12));
  ReadResult result = read_capturing(path, CoefRepresentation::packed);
  ASSERT_NE(result.ptm, nullptr);
  EXPECT_NE(result.output.find("Loading mask image\n"), std::string::npos);
  ASSERT_NE(result.ptm->mask, nullptr);
  EXPECT_EQ(result.ptm->mask[0], 0);
  EXPECT_EQ(result.ptm->mask[1], 255);
  EXPECT_EQ(result.ptm->mask[2], 7);
  EXPECT_EQ(result.ptm->mask[3], 0);
  free_ptm(result.ptm);

  write("scanmask.ppm", std::string("P6\n1 1\n255\n\x05\x05\x05", 14));
  testing::internal::CaptureStderr();
  ReadResult mismatch = read_capturing(path, CoefRepresentation::packed);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "read_ptm_file: mask image size does not match ptm size\n");
  ASSERT_NE(mismatch.ptm, nullptr);
  EXPECT_EQ(mismatch.ptm->mask, nullptr);
  free_ptm(mismatch.ptm);
}

TEST_F(PtmReaderTest, MissingFileReturnsNullSilently) {
  ReadResult result = read_capturing(directory_ + "/absent.ptm", CoefRepresentation::packed);
  EXPECT_EQ(result.ptm, nullptr);
  EXPECT_EQ(result.output, "");
}

TEST_F(PtmReaderTest, EveryTruncationOfEveryFormatIsRefused) {
  unsigned seed = 30;
  for (const FormatCase& c : format_cases) {
    const std::string whole = ptm_fixture_bytes(
        random_ptm_fixture(c.format, c.version_minor, 3, 2, seed++, c.format >= 3 ? 3 : 0));
    for (std::size_t length = 0; length < whole.size(); ++length) {
      const std::string path = write("cut.ptm", whole.substr(0, length));
      ReadResult result = read_capturing(path, CoefRepresentation::packed);
      EXPECT_EQ(result.ptm, nullptr) << c.line << " cut at " << length;
      free_ptm(result.ptm);
    }
  }
  PtmFixture f = random_ptm_fixture(2, 2, 4, 4, 3);
  const std::string whole = ptm_fixture_bytes(f);
  expect_refused(whole.substr(0, whole.size() - 1),
                 "ends before its data: 144 bytes needed, 143 present");
}

TEST_F(PtmReaderTest, ImpossibleSizesAreRefusedBeforeAllocation) {
  PtmFixture f = random_ptm_fixture(2, 2, 2, 2, 17);
  const std::string data = ptm_fixture_bytes(f).substr(ptm_fixture_bytes(f).find("1.0 1.0"));
  auto with_size = [&](const std::string& w, const std::string& h) {
    return "PTM_1.2\nPTM_FORMAT_LRGB\n" + w + "\n" + h + "\n" + data;
  };
  expect_refused(with_size("0", "2"), "Invalid image size 0 x 2 in ptm file ");
  expect_refused(with_size("2", "-5"), "Invalid image size 2 x -5 in ptm file ");
  expect_refused(with_size("2147483647", "2147483647"), "is too large");
  expect_refused(with_size("65536", "65536"), "is too large");
  expect_refused(with_size("20000", "20000"), "ends before its data");
  expect_refused(with_size("99999999999", "2"), "Read error on ptm file: ");
  expect_refused(with_size("two", "2"), "Read error on ptm file: ");
}

TEST_F(PtmReaderTest, TableCountsAndIndicesOutOfRangeAreRefused) {
  PtmFixture f = random_ptm_fixture(3, 2, 2, 2, 18, 2);
  std::string bytes = ptm_fixture_bytes(f);
  const std::size_t count_at = bytes.find("2 N_LUT_ENTRIES");
  std::string zero = bytes;
  zero.replace(count_at, 1, "0");
  expect_refused(zero, "Invalid LUT entry count 0 for a 2 x 2 image");
  // More entries than pixels and than a one-byte index can reach.
  std::string too_many = bytes;
  too_many.replace(count_at, 1, "257");
  expect_refused(too_many, "Invalid LUT entry count 257 for a 2 x 2 image");

  f.indices[3] = 2;  // one past the last entry
  expect_refused(ptm_fixture_bytes(f),
                 "LUT index 2 at pixel 3 is beyond the 2 entries of ptm file ");
}

TEST_F(PtmReaderTest, OverLongHeaderItemsAreRefused) {
  PtmFixture f = random_ptm_fixture(2, 2, 2, 2, 19);
  f.format_word = "PTM_FORMAT_LRGB" + std::string(300, 'X');
  expect_refused(ptm_fixture_bytes(f), "Header item longer than 255 characters in ptm file ");
  PtmFixture magic = random_ptm_fixture(2, 2, 2, 2, 19);
  magic.magic = "PTM_1.2" + std::string(1000, '2');
  expect_refused(ptm_fixture_bytes(magic), "Header item longer than 255 characters");
  PtmFixture scale = random_ptm_fixture(2, 2, 2, 2, 19);
  scale.scale_line = "1." + std::string(400, '0') + " 1 1 1 1 1\n";
  expect_refused(ptm_fixture_bytes(scale), "Header item longer than 255 characters");
}

TEST_F(PtmReaderTest, NonFiniteScalesAreRefused) {
  for (const char* line : {"inf 1 1 1 1 1\n", "nan 1 1 1 1 1\n", "1e30 1 1 1 1 1\n"}) {
    PtmFixture f = random_ptm_fixture(2, 2, 2, 2, 20);
    f.scale_line = line;
    expect_refused(ptm_fixture_bytes(f), "Read error on ptm file: ");
  }
}

}  // namespace
