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

  // The user's light comes back: (0, 0), not the last grid point (1, 1).
  const WindowPixels after = wait_for([](const WindowPixels& w) {
    return halves_are(w, {78, 39, 19}, {19, 39, 78}, 1);
  });
  EXPECT_TRUE(halves_are(after, {78, 39, 19}, {19, 39, 78}, 1)) << halves(after);
}

// Luminance L(u, v) = 200 u + 50 v + 100, orange and blue halves as in
// side_lit_map: every grid light of the disc lights it its own way, except
// where L saturates or falls to 0.
PtmFixture tilted_map() {
  return lrgb_map({0, 0, 0, 200, 50, 100}, [](int x, int) {
    return x < map_width / 2 ? Rgb{200, 100, 50} : Rgb{50, 100, 200};
  });
}

// The colour C of the map lit by (u, v): min(255, L C / 256), 0 where L <= 0.
Rgb lit(Rgb c, float u, float v) {
  const double l = std::max(0.0, 200.0 * u + 50.0 * v + 100.0);
  auto channel = [l](int value) { return std::min(255, static_cast<int>(l * value / 256)); };
  return {channel(c.r), channel(c.g), channel(c.b)};
}

// A photograph of one colour, a green no relit picture of the map has.
std::string green_photograph() {
  std::string bytes = "P6\n64 48\n255\n";
  for (int p = 0; p < map_width * map_height; ++p) bytes += {'\x0a', '\xc8', '\x0a'};
  return bytes;
}

TEST_F(VarianceWindowTest, TheSweepLightsTheMapByEachGridLightAloneThenGivesBackTheUsersLights) {
  // Photographs taken from (0, 0) and (0.6, 0), which the view shows in
  // place of the map for a light near them.
  write_file_bytes(directory_ + "/photo_a.ppm", green_photograph());
  write_file_bytes(directory_ + "/photo_b.ppm", green_photograph());
  write_file_bytes(directory_ + "/map.lp", "2\nphoto_a.ppm 0 0 1\nphoto_b.ppm 0.6 0 0.8\n");
  open(tilted_map());
  choose_menu_entry(30, 100, 10);
  ASSERT_TRUE(wait_for_output(program_, "2 images to read..done\n", 15)) << output_so_far(program_);
  // Light 2 becomes current and is switched off again; light 1 stays on at
  // (0, 0), where photograph A is shown (under its caption, in rows 17 ..
  // 32).
  type("2");
  type("2");
  auto shows_photograph = [](const WindowPixels& w) {
    return view_pixel(w, 0, 0) == (Rgb{10, 200, 10}) &&
           view_pixel(w, map_width - 1, map_height - 1) == (Rgb{10, 200, 10});
  };
  const WindowPixels before = wait_for(shows_photograph);
  ASSERT_TRUE(shows_photograph(before)) << halves(before);

  type("e");
  const std::string table_path = directory_ + "/map.ent";
  ASSERT_TRUE(wait_for_output(program_, "writing ppm file map.20.20.ppm\n", 120))
      << output_so_far(program_);
  for (int tries = 0; tries < 100 && !std::filesystem::exists(table_path); ++tries) pause_ms(100);

  // Every picture of the disc is the map lit by its grid light alone,
  // never a photograph nor the light the user has on.
  int disc_pictures = 0;
  for (int r = 0; r <= 20; ++r) {
    for (int c = 0; c <= 20; ++c) {
      if ((c - 10) * (c - 10) + (r - 10) * (r - 10) > 100) continue;
      ++disc_pictures;
      const std::string name = "map." + std::to_string(c) + "." + std::to_string(r) + ".ppm";
      const WindowPixels picture = parse_ppm(read_file_bytes(directory_ + "/" + name));
      ASSERT_EQ(picture.width, map_width) << name;
      ASSERT_EQ(picture.height, map_height) << name;
      const float u = (c - 10) / 10.0f;
      const float v = (r - 10) / 10.0f;
      const Rgb left = lit({200, 100, 50}, u, v);
      const Rgb right = lit({50, 100, 200}, u, v);
      int off = 0;
      for (int y = 0; y < map_height; ++y) {
        for (int x = 0; x < map_width; ++x) {
          off += near(picture.at(x, y), x < map_width / 2 ? left : right, 1) ? 0 : 1;
        }
      }
      EXPECT_EQ(off, 0) << name << " shows " << to_string(picture.at(0, 0)) << " and "
                        << to_string(picture.at(map_width - 1, 0)) << " for " << to_string(left)
                        << " and " << to_string(right);
    }
  }
  EXPECT_EQ(disc_pictures, 317);

  // The view comes back as it was (photograph A for light 1 at (0, 0)),
  // with light 2 current and off.
  const WindowPixels after = wait_for([&before](const WindowPixels& w) {
    return view(w) == view(before) && caption(w) == caption(before);
  });
  EXPECT_TRUE(view(after) == view(before)) << halves(after);
  EXPECT_TRUE(caption(after) == caption(before));
  // 's' hides the photograph: light 1 alone at (0, 0) at full intensity.
  type("s");
  WindowPixels w = wait_for([](const WindowPixels& w) {
    return halves_are(w, {78, 39, 19}, {19, 39, 78}, 1);
  });
  EXPECT_TRUE(halves_are(w, {78, 39, 19}, {19, 39, 78}, 1)) << halves(w);
  // Light 2 on again where the user left it, (0, 0): the two lights sum.
  type("2");
  w = wait_for([](const WindowPixels& w) {
    return halves_are(w, {156, 78, 38}, {38, 78, 156}, 2);
  });
  EXPECT_TRUE(halves_are(w, {156, 78, 38}, {38, 78, 156}, 2)) << halves(w);
}

}  // namespace

#endif
