#include "analysis/entropy.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/write_failures.h"

namespace {

struct Colour {
  std::uint8_t r, g, b;
};

// A picture of `pixels` pixels whose first `counts[0]` pixels have
// colours[0], the next counts[1] colours[1], and so on.
std::vector<std::uint8_t> picture_of(const std::vector<Colour>& colours,
                                     const std::vector<int>& counts) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < colours.size(); ++i) {
    for (int n = 0; n < counts[i]; ++n)
      bytes.insert(bytes.end(), {colours[i].r, colours[i].g, colours[i].b});
  }
  return bytes;
}

// -sum p log10 p over the given shares.
double entropy_of_shares(const std::vector<double>& shares) {
  double entropy = 0;
  for (const double p : shares) entropy -= p * std::log10(p);
  return entropy;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// 21 values in the layout of "%f ": digits, a point, six digits, a blank.
bool is_table_row(const std::string& line) {
  std::size_t at = 0;
  for (int value = 0; value < 21; ++value) {
    const std::size_t digits = at;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
    if (at == digits || at + 8 > line.size() || line[at] != '.') return false;
    for (int i = 1; i <= 6; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(line[at + i]))) return false;
    }
    if (line[at + 7] != ' ') return false;
    at += 8;
  }
  return at == line.size();
}

std::string formatted(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

}  // namespace

TEST(ImageEntropy, IsMinusTheSumOfPLog10POverTheGreyLevels) {
  // Grey level trunc(0.3 R + 0.59 G + 0.11 B): (100, 0, 0) -> 30, (0, 51, 0)
  // -> trunc(30.09) = 30, (0, 0, 255) -> trunc(28.05) = 28, black 0, white
  // 255 (or 254 by rounding; either way its own level).
  const Colour red{100, 0, 0};
  const Colour green{0, 51, 0};
  const Colour blue{0, 0, 255};
  const Colour black{0, 0, 0};
  const Colour white{255, 255, 255};
  const struct {
    const char* name;
    std::vector<Colour> colours;
    std::vector<int> counts;
    std::vector<double> shares;
  } cases[] = {
      {"one colour", {Colour{37, 200, 90}}, {60}, {1.0}},
      {"two colours of one grey level", {red, green}, {30, 30}, {1.0}},
      {"two levels, half each", {blue, red}, {30, 30}, {0.5, 0.5}},
      {"two levels, a quarter and three quarters", {black, white}, {15, 45}, {0.25, 0.75}},
      {"four levels alike", {black, blue, red, white}, {15, 15, 15, 15}, {0.25, 0.25, 0.25, 0.25}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> bytes = picture_of(c.colours, c.counts);
    const RgbImage image{12, 5, bytes.data()};
    EXPECT_NEAR(image_entropy(image), entropy_of_shares(c.shares), 1e-15);
  }
  EXPECT_EQ(image_entropy(RgbImage{0, 0, nullptr}), 0.0);
}

TEST(ImageEntropy, EveryColourFallsOnTheGreyLevelOfTheDoubleSum) {
  // One pixel of every colour: the histogram of trunc(0.3 R + 0.59 G +
  // 0.11 B) summed in double precision, and its entropy.
  std::vector<std::uint8_t> bytes;
  bytes.reserve(std::size_t{3} << 24);
  std::vector<double> counts(256);
  for (int r = 0; r < 256; ++r) {
    for (int g = 0; g < 256; ++g) {
      for (int b = 0; b < 256; ++b) {
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                   static_cast<std::uint8_t>(b)});
        ++counts[static_cast<int>(0.3 * r + 0.59 * g + 0.11 * b)];
      }
    }
  }
  std::vector<double> shares;
  for (const double count : counts) {
    if (count > 0) shares.push_back(count / (1 << 24));
  }
  const RgbImage image{4096, 4096, bytes.data()};
  EXPECT_DOUBLE_EQ(image_entropy(image), entropy_of_shares(shares));
}

class EntropySweepTest : public testing::Test {
 protected:
  // A 6 x 4 picture per light: the first k pixels white and the rest
  // black, k = 2 (c + r) mod 25 for grid column c and row r, so the pictures
  // differ and their entropies are known.
  static int white_pixels(float u, float v) {
    const int c = static_cast<int>(std::lround((u + 1) * 10));
    const int r = static_cast<int>(std::lround((v + 1) * 10));
    return 2 * (c + r) % 25;
  }
  static double expected_entropy(int white) {
    if (white == 0 || white == 24) return 0;
    return entropy_of_shares({white / 24.0, (24 - white) / 24.0});
  }

  RenderLightFn painter() {
    return [this](float u, float v, RgbImage& image) {
      lights.push_back({u, v});
      const int white = white_pixels(u, v);
      for (int i = 0; i < image.width * image.height; ++i) {
        for (int c = 0; c < 3; ++c) image.pixels[i * 3 + c] = i < white ? 255 : 0;
      }
    };
  }

  ScratchDirectory scratch{"entropy"};
  std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(6 * 4 * 3, 77);
  RgbImage image{6, 4, pixels.data()};
  std::vector<std::pair<float, float>> lights;
};

TEST_F(EntropySweepTest, WritesEveryGridPictureAndATableOfTheirEntropies) {
  // The extension of the file's own name is cut, not the folder's.
  std::filesystem::create_directory(scratch.file("maps.v1"));
  const std::string base = scratch.file("maps.v1/stone.x.ptm");
  const std::string cut = scratch.file("maps.v1/stone.x");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(entropy_sweep(base, image, painter()));
  const std::string out = testing::internal::GetCapturedStdout();

  // Only the lights of the unit disc are drawn: (c - 10)^2 + (r - 10)^2 <=
  // 100, in rows, at u = 0.1 c - 1 and v = 0.1 r - 1.
  std::vector<std::pair<float, float>> inside;
  for (int r = 0; r <= 20; ++r) {
    for (int c = 0; c <= 20; ++c) {
      if ((c - 10) * (c - 10) + (r - 10) * (r - 10) <= 100)
        inside.push_back({0.1f * c - 1, 0.1f * r - 1});
    }
  }
  ASSERT_EQ(lights.size(), inside.size());
  for (std::size_t i = 0; i < lights.size(); ++i) {
    EXPECT_NEAR(lights[i].first, inside[i].first, 1e-6);
    EXPECT_NEAR(lights[i].second, inside[i].second, 1e-6);
  }

  // 22 lines: the size, then 21 rows of 21 values each followed by a blank.
  const std::vector<std::string> table = lines_of(read_file_bytes(cut + ".ent"));
  ASSERT_EQ(table.size(), 22u);
  EXPECT_EQ(table[0], "21 21");
  std::string printed;
  for (int r = 0; r <= 20; ++r) {
    EXPECT_TRUE(is_table_row(table[r + 1])) << table[r + 1];
    std::istringstream values(table[r + 1]);
    for (int c = 0; c <= 20; ++c) {
      std::string value;
      values >> value;
      const bool lit = (c - 10) * (c - 10) + (r - 10) * (r - 10) <= 100;
      const double entropy = lit ? expected_entropy(2 * (c + r) % 25) : 0.0;
      EXPECT_EQ(value, formatted(entropy)) << "column " << c << ", row " << r;
      printed += "\nwriting ppm file " + cut + "." + std::to_string(c) + "." + std::to_string(r) +
                 ".ppm\n" + formatted(entropy) + " ";
    }
  }
  EXPECT_EQ(out, "Writing Entropy file to " + cut + ".ent\n" + printed);

  // (-1, -1), column 0 and row 0, lies outside the disc: black, entropy 0.
  EXPECT_EQ(table[1].substr(0, 9), "0.000000 ");
  EXPECT_EQ(read_file_bytes(cut + ".0.0.ppm"), "P6\n6 4\n255\n" + std::string(6 * 4 * 3, '\0'));
  // (0, 0) is column and row 10: 2 * 20 mod 25 = 15 white pixels, the
  // first of the bottom-up picture, so the file (top row first) ends with
  // them.
  std::string top_down;
  for (int row = 3; row >= 0; --row) {
    for (int x = 0; x < 6; ++x) top_down += std::string(3, row * 6 + x < 15 ? '\xff' : '\0');
  }
  EXPECT_EQ(read_file_bytes(cut + ".10.10.ppm"), "P6\n6 4\n255\n" + top_down);
  int pictures = 0;
  for (const auto& entry : std::filesystem::directory_iterator(scratch.file("maps.v1"))) {
    pictures += entry.path().extension() == ".ppm";
  }
  EXPECT_EQ(pictures, 441);
}

TEST_F(EntropySweepTest, AnUnwritableTableStopsAtOnceAndAFailedPictureDoesNotStopTheSweep) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(entropy_sweep(scratch.file("missing/stone.ptm"), image, painter()));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Can't write in folder " + scratch.file("missing/") +
                ": No such file or directory\nUnable to open entropy file for writing\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing Entropy file to " + scratch.file("missing/stone.ent") + "\n");
  EXPECT_TRUE(lights.empty());

  // A folder in the place of one picture: that picture fails, the rest and
  // the table are written.
  std::filesystem::create_directory(scratch.file("stone.3.10.ppm"));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(entropy_sweep(scratch.file("stone.ptm"), image, painter()));
  const std::string errors = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  EXPECT_NE(errors.find(scratch.file("stone.3.10.ppm")), std::string::npos) << errors;
  EXPECT_EQ(lines_of(read_file_bytes(scratch.file("stone.ent"))).size(), 22u);
  EXPECT_EQ(read_file_bytes(scratch.file("stone.20.10.ppm")).size(), 11u + 6 * 4 * 3);
  EXPECT_TRUE(std::filesystem::is_directory(scratch.file("stone.3.10.ppm")));

  // A table that cannot be written whole (a file-size limit of 2000 bytes
  // lets every 83-byte picture through but not the table's 4 KB) is
  // reported and leaves no file.
  bool written = true;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    FileSizeLimit limit(2000);
    written = entropy_sweep(scratch.file("slate.ptm"), image, painter());
  }
  const std::string table_errors = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(written);
  EXPECT_NE(table_errors.find("Error writing entropy file " + scratch.file("slate.ent")),
            std::string::npos)
      << table_errors;
  EXPECT_FALSE(std::filesystem::exists(scratch.file("slate.ent")));
  EXPECT_TRUE(std::filesystem::exists(scratch.file("slate.20.10.ppm")));
}
