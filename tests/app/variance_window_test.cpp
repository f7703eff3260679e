// The variance view and the entropy sweep in a real window, driven by real
// X input.
#include <gtest/gtest.h>

#ifdef RELUMO_BINARY

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "viewer_window_fixture.h"

namespace {

using namespace window_test;

// Luminance 100 + 100 u in the left half and 100 - 100 u in the right
// (a3 stored as 228 or 28 with bias 128), white: over the pixels the mean
// is 100 and the variance (100 u)^2, whatever v.
PtmFixture tilted_halves_map() {
  PtmFixture f = lrgb_map({0, 0, 0, 0, 0, 0}, [](int, int) { return Rgb{255, 255, 255}; });
  f.bias_line = "0 0 0 128 0 0\n";
  for (int p = 0; p < map_width * map_height; ++p) {
    f.coefficients[0][p * 6 + 3] = p % map_width < map_width / 2 ? 228 : 28;
    f.coefficients[0][p * 6 + 5] = 100;
  }
  return f;
}

class VarianceWindowTest : public ViewerWindowTest {
 protected:
  // Plot pixel of column j and row i from the bottom.
  static Rgb plot_at(const WindowPixels& w, int j, int i) {
    return w.at(plot_left + j, plot_top + plot_size - 1 - i);
  }
};

TEST_F(VarianceWindowTest, MenuEntryTwelveShowsTheVarianceOverLightDirectionsInThePlot) {
  open(tilted_halves_map());
  choose_menu_entry(panel_x, panel_y, 12);
  ASSERT_TRUE(wait_for_output(program_, "computing variance constants (full)...done\n", 30))
      << output_so_far(program_);
  // Red where the light brings out the most contrast (|u| large), blue
  // where none (u = 0), grey outside the disc.
  const WindowPixels shown = wait_for([](const WindowPixels& w) {
    return plot_at(w, 125, 125) == (Rgb{0, 0, 255}) && plot_at(w, 0, 125) == (Rgb{255, 0, 0});
  });
  // The range is scanned strictly inside the disc, where |u| reaches
  // 124 / 125; each disc pixel shows n = (100 u)^2 / that largest
  // variance, taken into 0..1, as (trunc(255 n), 0, trunc(255 (1 - n))).
  const double largest = 10000.0 * (124.0f / 125) * (124.0f / 125);
  int off = 0;
  std::string first_off;
  for (int i = 0; i < plot_size; ++i) {
    for (int j = 0; j < plot_size; ++j) {
      const float u = (j - 125) / 125.0f;
      const float v = (i - 125) / 125.0f;
      Rgb expected{128, 128, 128};
      if (u * u + v * v <= 1) {
        const double n = std::min(1.0, 10000.0 * u * u / largest);
        expected = {static_cast<int>(255 * n), 0, static_cast<int>(255 * (1 - n))};
      }
      if (!near(plot_at(shown, j, i), expected, 1)) {
        if (off++ == 0) {
          first_off = "column " + std::to_string(j) + ", row " + std::to_string(i) + ": " +
                      to_string(plot_at(shown, j, i)) + " for " + to_string(expected);
        }
      }
    }
  }
  EXPECT_EQ(off, 0) << first_off;
  // Menu pictures are taken after the menu's first showing (whose first
  // frame freeglut draws before it has sized the window).
  const WindowPixels menu_on = menu_picture(panel_x, panel_y);

  // Off again: the probe's reflectance comes back (pixel (0, 0), lit as
  // 100 + 100 u: white times 100 / 256 at u = 0), nothing is computed, and
  // the label loses its mark while the other entries keep theirs.
  choose_menu_entry(panel_x, panel_y, 12);
  const WindowPixels menu_off = menu_picture(panel_x, panel_y);
  const WindowPixels back = wait_for([](const WindowPixels& w) {
    return near(plot_at(w, 125, 125), {99, 99, 99}, 1);
  });
  EXPECT_TRUE(near(plot_at(back, 125, 125), {99, 99, 99}, 1)) << to_string(plot_at(back, 125, 125));
  ASSERT_EQ(menu_on.height, menu_off.height);
  EXPECT_NE(menu_row(menu_on, 12, menu_on.width), menu_row(menu_off, 12, menu_off.width)) << "entry 12 kept its mark";
  EXPECT_EQ(menu_row(menu_on, 4, menu_on.width), menu_row(menu_off, 4, menu_off.width));
  pause_ms(200);
  const std::string out = output_after_normals();
  EXPECT_EQ(out.find("computing variance constants"), out.rfind("computing variance constants"))
      << out;
}

TEST_F(VarianceWindowTest, KeyEWritesAPictureForEachOf441LightsAndTheEntropyTable) {
  open(side_lit_map());
  type("e");
  const std::string table_path = directory_ + "/map.ent";
  ASSERT_TRUE(wait_for_output(program_, "writing ppm file map.20.20.ppm\n", 120))
      << output_so_far(program_);
  for (int tries = 0; tries < 100 && !std::filesystem::exists(table_path); ++tries) pause_ms(100);
  EXPECT_TRUE(output_so_far(program_).find("Writing Entropy file to map.ent\n") !=
              std::string::npos);

  // 22 lines: "21 21", then 21 rows of 21 "%f " values.
  std::vector<std::string> table;
  std::istringstream lines(read_file_bytes(table_path));
  for (std::string line; std::getline(lines, line);) table.push_back(line);
  ASSERT_EQ(table.size(), 22u);
  EXPECT_EQ(table[0], "21 21");
  auto entry = [&table](int c, int r) {
    std::istringstream row(table[r + 1]);
    std::string value;
    for (int i = 0; i <= c; ++i) row >> value;
    return value;
  };
  for (int r = 0; r <= 20; ++r) {
    EXPECT_EQ(std::count(table[r + 1].begin(), table[r + 1].end(), ' '), 21) << table[r + 1];
  }
  // (-1, -1) is outside the disc; (-1, 0) lights the map from behind (L =
  // 100 - 200 < 0): both black, entropy 0. (0, 0): two colours, half each.
  EXPECT_EQ(entry(0, 0), "0.000000");
  EXPECT_EQ(entry(0, 10), "0.000000");
  EXPECT_EQ(entry(10, 10), "0.301030");  // -2 (1/2) log10 (1/2)

  const std::string header = "P6\n64 48\n255\n";
  const std::string black = header + std::string(map_width * map_height * 3, '\0');
  EXPECT_EQ(read_file_bytes(directory_ + "/map.0.0.ppm"), black);
  const WindowPixels centre = parse_ppm(read_file_bytes(directory_ + "/map.10.10.ppm"));
  ASSERT_EQ(centre.width, map_width);
  ASSERT_EQ(centre.height, map_height);
  EXPECT_TRUE(near(centre.at(0, 0), {78, 39, 19}, 1) && near(centre.at(63, 47), {19, 39, 78}, 1))
      << to_string(centre.at(0, 0)) << " " << to_string(centre.at(63, 47));
  // (1, 0): L = 300, colour min(255, 300 C / 256).
  const WindowPixels right = parse_ppm(read_file_bytes(directory_ + "/map.20.10.ppm"));
  EXPECT_TRUE(near(right.at(0, 0), {234, 117, 58}, 1)) << to_string(right.at(0, 0));
  int pictures = 0;
  for (const auto& file : std::filesystem::directory_iterator(directory_)) {
    if (file.path().extension() != ".ppm") continue;
    ++pictures;
    EXPECT_EQ(std::filesystem::file_size(file.path()), header.size() + map_width * map_height * 3)
        << file.path();
  }
  EXPECT_EQ(pictures, 441);

  // The light stays at the last grid point, (1, 1): lit from the right.
  const WindowPixels after = wait_for([](const WindowPixels& w) {
    return halves_are(w, {234, 117, 58}, {58, 117, 234}, 1);
  });
  EXPECT_TRUE(halves_are(after, {234, 117, 58}, {58, 117, 234}, 1)) << halves(after);
}

}  // namespace

#endif
