// The source photographs in a real window: "Source Image Errors" loads the
// photographs listed beside the map and shows the one taken from the
// light's direction in place of the relit map (unzoomed and zoomed), 's'
// and a middle press look at the map instead, the plot shows each
// photograph's colour at the probe; "Output Source Images as Volume"
// writes them beside the map.
#include <gtest/gtest.h>

#ifdef RELUMO_BINARY

#include "support/files.h"
#include "viewer_window_fixture.h"

namespace {

using namespace window_test;

// Two photographs of the 64 x 48 map, as view colours at (x, y), y upward:
// A lit from straight ahead (0, 0, 1), B from (0.6, 0, 0.8). Neither holds
// white, the colour of the caption.
Rgb photo_a(int x, int y) { return {3 * x + 20, 4 * y + 10, 60}; }
Rgb photo_b(int x, int y) { return {200 - 2 * x, 50, 3 * y + 40}; }

// A binary PPM of a photograph: the top row (y = 47) first.
std::string ppm_of(Rgb (*photo)(int, int)) {
  std::string bytes = "P6\n64 48\n255\n";
  for (int y = map_height - 1; y >= 0; --y) {
    for (int x = 0; x < map_width; ++x) {
      const Rgb c = photo(x, y);
      bytes += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
    }
  }
  return bytes;
}

// The caption "Source image" starts at view pixel (20, 20): its letters
// lie in columns 19 and up of rows 17..32.
bool in_caption(int x, int y) { return x >= 19 && y >= 17 && y <= 32; }

class SourceImageWindowTest : public ViewerWindowTest {
 protected:
  void SetUp() override {
    ViewerWindowTest::SetUp();
    write_file_bytes(directory_ + "/photo_a.ppm", ppm_of(photo_a));
    write_file_bytes(directory_ + "/photo_b.ppm", ppm_of(photo_b));
    write_file_bytes(directory_ + "/map.lp", "2\nphoto_a.ppm 0 0 1\nphoto_b.ppm 0.6 0 0.8\n");
  }

  // Whether the view shows `photo` magnified `zoom` times from photograph
  // pixel (left, bottom), the caption over it.
  static bool shows_photo(const WindowPixels& w, Rgb (*photo)(int, int), int zoom = 1, int left = 0,
                          int bottom = 0) {
    for (int y = 0; y < map_height; ++y) {
      for (int x = 0; x < map_width; ++x) {
        if (in_caption(x, y)) continue;
        if (!(view_pixel(w, x, y) == photo(left + x / zoom, bottom + y / zoom))) return false;
      }
    }
    return has_white(w.crop(19, window_y(32), map_width - 19, 16));
  }

  void click_plot(float u) {
    move_to(plot_left + 125 + static_cast<int>(u * 125), plot_top + 125);
    ASSERT_TRUE(xdotool("click 1"));
  }
};

TEST_F(SourceImageWindowTest, ThePhotographTakenFromTheLightReplacesTheRelitMap) {
  open(side_lit_map());
  choose_menu_entry(30, 100, 10);
  ASSERT_TRUE(wait_for_output(program_, "2 images to read..done\n", 15)) << output_so_far(program_);
  // The light starts at (0, 0), A's direction.
  // The plot shows each photograph's colour at the probe (view pixel
  // (0, 0)) at the photograph's direction.
  WindowPixels w = wait_for([](const WindowPixels& w) {
    return shows_photo(w, photo_a) && plot_pixel(w, 0, 0) == photo_a(0, 0) &&
           plot_pixel(w, 0.6f, 0) == photo_b(0, 0);
  });
  EXPECT_TRUE(shows_photo(w, photo_a))
      << "view pixel (0, 0) shows " << to_string(view_pixel(w, 0, 0));
  EXPECT_NE(output_after_normals().find("Source image 0 displayed\n"), std::string::npos);
  EXPECT_EQ(plot_pixel(w, 0, 0), photo_a(0, 0));
  EXPECT_EQ(plot_pixel(w, 0.6f, 0), photo_b(0, 0));

  // 's' shows the relit map, a second 's' the photograph again.
  type("s");
  w = wait_for([](const WindowPixels& w) { return halves_are(w, {78, 39, 19}, {19, 39, 78}, 1); });
  EXPECT_TRUE(halves_are(w, {78, 39, 19}, {19, 39, 78}, 1)) << halves(w);
  type("s");
  w = wait_for([](const WindowPixels& w) { return shows_photo(w, photo_a); });
  EXPECT_TRUE(shows_photo(w, photo_a)) << "after the second 's'";

  // A light 0.5 from every photograph shows the relit map (lit from the
  // left: black), one on B's direction shows B.
  click_plot(-0.5f);
  w = wait_for([](const WindowPixels& w) { return halves_are(w, {0, 0, 0}, {0, 0, 0}, 1); });
  EXPECT_TRUE(halves_are(w, {0, 0, 0}, {0, 0, 0}, 1)) << halves(w);
  click_plot(0.6f);
  w = wait_for([](const WindowPixels& w) { return shows_photo(w, photo_b); });
  EXPECT_TRUE(shows_photo(w, photo_b))
      << "view pixel (0, 0) shows " << to_string(view_pixel(w, 0, 0));

  // Holding the middle button in the plot glances at the map relit for
  // the light of the last release (u = 0.6: L = 220, each colour at
  // 220/256), not for an earlier one; the photograph comes back on release.
  move_to(plot_left + 125 + 75, plot_top + 125);
  ASSERT_TRUE(xdotool("mousedown 2"));
  w = wait_for(
      [](const WindowPixels& w) { return halves_are(w, {171, 85, 42}, {42, 85, 171}, 1); });
  EXPECT_TRUE(halves_are(w, {171, 85, 42}, {42, 85, 171}, 1)) << "while pressed, " << halves(w);
  ASSERT_TRUE(xdotool("mouseup 2"));
  w = wait_for([](const WindowPixels& w) { return shows_photo(w, photo_b); });
  EXPECT_TRUE(shows_photo(w, photo_b)) << "after the release";

  // Zoomed twice about the centre (pan 0.25, 0.25): view pixel (x, y)
  // shows photograph pixel (16 + x/2, 12 + y/2), as it shows the map.
  type("plus");
  w = wait_for([](const WindowPixels& w) { return shows_photo(w, photo_b, 2, 16, 12); });
  EXPECT_TRUE(shows_photo(w, photo_b, 2, 16, 12))
      << "view pixel (0, 0) shows " << to_string(view_pixel(w, 0, 0));

  // Switching the comparison off shows the relit map whatever the light.
  type("minus");
  choose_menu_entry(30, 100, 10);
  w = wait_for([](const WindowPixels& w) {
    return !halves_are(w, {0, 0, 0}, {0, 0, 0}, 1) && !has_white(w.crop(19, window_y(32), 45, 16));
  });
  EXPECT_FALSE(shows_photo(w, photo_b));
  // Lit from u = 0.6: L = 220, orange and blue at 220/256 of their colour.
  EXPECT_TRUE(halves_are(w, {171, 85, 42}, {42, 85, 171}, 1)) << halves(w);
}

TEST_F(SourceImageWindowTest, TheVolumeEntryLoadsThePhotographsAndWritesThemBesideTheMap) {
  open(side_lit_map());
  choose_menu_entry(30, 100, 11);
  ASSERT_TRUE(wait_for_output(program_, "Color volume file written\n", 15))
      << output_so_far(program_);
  EXPECT_EQ(
      output_after_normals(),
      "2 images to read..done\nWriting voxel files, please wait.\nColor volume file written\n");
  EXPECT_EQ(read_file_bytes(directory_ + "/map.des"),
            "xsize 64\nysize 48\nzsize 2\nxscale 1\nyscale 1\nzscale 5\nxcoarse 1\nycoarse 1\n"
            "zcoarse 1\n");
  // Photograph A then B, each from its bottom row up.
  std::string red, green, blue;
  for (Rgb (*photo)(int, int) : {photo_a, photo_b}) {
    for (int y = 0; y < map_height; ++y) {
      for (int x = 0; x < map_width; ++x) {
        red += static_cast<char>(photo(x, y).r);
        green += static_cast<char>(photo(x, y).g);
        blue += static_cast<char>(photo(x, y).b);
      }
    }
  }
  EXPECT_EQ(read_file_bytes(directory_ + "/map.r.vox"), red);
  EXPECT_EQ(read_file_bytes(directory_ + "/map.g.vox"), green);
  EXPECT_EQ(read_file_bytes(directory_ + "/map.b.vox"), blue);
}

}  // namespace

#endif
