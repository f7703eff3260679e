// The viewer's windows used as a person uses them: real X pointer and key
// events (xdotool) go to the program, and the test looks at the pixels the
// windows show (xwd) and at what the program prints.
//
// Every map here is 64 x 48, so the main window is (64 + 300) x 450: the
// image view is the 64 x 48 rectangle at the window's bottom-left corner
// (view row 0 is window row 449), and the 250 x 250 reflectance plot has its
// top-left corner at (64 + 25, 25).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/ptm_fixture.h"
#include "support/run_program.h"
#include "support/window_pixels.h"
#include "support/x_input.h"

#ifdef RELUMO_BINARY

namespace {

constexpr int map_width = 64;
constexpr int map_height = 48;
constexpr int window_height = 450;  // max(map height, 450)
constexpr int plot_left = map_width + 25;
constexpr int plot_top = 25;
constexpr int plot_size = 250;
// A point of the control panel that no sub-window covers: keys typed with
// the pointer there go to the main window.
constexpr int panel_x = 200;
constexpr int panel_y = 300;

const std::string normals_line = "Computing Normals from PTM\n";

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string to_string(Rgb c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// An LRGB map with scale 1 and bias 0, the same six luminance bytes and
// one colour per pixel.
PtmFixture lrgb_map(const std::array<std::uint8_t, 6>& luminance, Rgb (*colour_at)(int x, int y)) {
  PtmFixture f;
  f.format = 2;
  f.format_word = "PTM_FORMAT_LRGB";
  f.width = map_width;
  f.height = map_height;
  for (int y = 0; y < map_height; ++y) {
    for (int x = 0; x < map_width; ++x) {
      f.coefficients[0].insert(f.coefficients[0].end(), luminance.begin(), luminance.end());
      const Rgb c = colour_at(x, y);
      f.colour.push_back(static_cast<std::uint8_t>(c.r));
      f.colour.push_back(static_cast<std::uint8_t>(c.g));
      f.colour.push_back(static_cast<std::uint8_t>(c.b));
    }
  }
  return f;
}

// Luminance L(u, v) = 200·u + 100 (a3 = 200, a5 = 100): dark when lit from
// the left, bright from the right. Orange (200, 100, 50) in the left half
// (x < 32), blue (50, 100, 200) in the right half.
//
// Shown colour = min(255, L·C / 256) with L ≤ 0 taken as 0; the two
// coefficient representations round L differently, by at most one unit of
// the result:
//   light (0, 0):    L ≈ 100 → (78, 39, 19)   [the packed kernel: (77, 38, 19)]
//   light (0.4, 0):  L ≈ 180 → (140, 70, 35)  [the wide one: (139, 69, 34)]
//   light (0.8, 0):  L ≈ 260 → (202, 101, 50)
//   light (−0.8, 0): L < 0   → (0, 0, 0)
PtmFixture side_lit_map() {
  return lrgb_map({0, 0, 0, 200, 0, 100}, [](int x, int) {
    return x < map_width / 2 ? Rgb{200, 100, 50} : Rgb{50, 100, 200};
  });
}

// A colour that differs from pixel to pixel (red grows with x, green with
// y) under a light-independent luminance (a5 = 255).
PtmFixture graded_map() {
  return lrgb_map({0, 0, 0, 0, 0, 255}, [](int x, int y) {
    return Rgb{4 * x + 2, 5 * y + 2, 100};
  });
}

class ViewerWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(ensure_display()) << "no X server for GLUT"; }

  void SetUp() override { directory_ = make_temp_directory("window"); }

  void TearDown() override {
    // Whatever happened, no button or modifier stays pressed for the next
    // test, and the program ends.
    xdotool("keyup shift");
    xdotool("mouseup 1");
    xdotool("mouseup 2");
    xdotool("mouseup 3");
    if (running_) {
      if (!window_.empty()) press_key(window_, panel_x, panel_y, "Escape");
      finish_program(program_, 30);
    }
    std::filesystem::remove_all(directory_);
  }

  // Starts relumo on `map` (with `option`, if any) and waits until its
  // window shows the map.
  void open(const PtmFixture& map, const std::string& option = "") {
    write_file_bytes(directory_ + "/map.ptm", ptm_fixture_bytes(map));
    std::vector<std::string> command{RELUMO_BINARY, "map.ptm"};
    if (!option.empty()) command.push_back(option);
    program_ = start_program(command, "", directory_);
    running_ = true;
    // The normals are computed once the final window is shown (the first
    // one may be replaced by one of another buffering).
    ASSERT_TRUE(wait_for_output(program_, normals_line, 60)) << output_so_far(program_);
    window_ = find_window("Relumo", 30);
    ASSERT_FALSE(window_.empty()) << "no window appeared";
    // Drawn: the panel caption (drawn after the view) is there and nothing
    // changes any more.
    const WindowPixels shown = wait_for_pixels(
        window_,
        [this](const WindowPixels& w) {
          return w.height == window_height && has_white(caption(w)) && capture_window(window_) == w;
        },
        30000);
    ASSERT_EQ(shown.width, map_width + 300);
    ASSERT_EQ(shown.height, window_height);
  }

  // Waits for the program to end (after the key or menu entry that quits)
  // and collects its exit.
  ProgramRun finish() {
    running_ = false;
    return finish_program(program_, 30);
  }

  WindowPixels capture() const { return capture_window(window_); }
  WindowPixels still() const { return wait_for_still_window(window_, 150, 10000); }
  WindowPixels wait_for(const std::function<bool(const WindowPixels&)>& ready) const {
    return wait_for_pixels(window_, ready, 15000);
  }

  static int window_y(int view_y) { return window_height - 1 - view_y; }

  // The image view (rows from the top, as in the window).
  static WindowPixels view(const WindowPixels& w) {
    return w.crop(0, window_height - map_height, map_width, map_height);
  }
  // View pixel (x, y), y upward from the view's bottom row.
  static Rgb view_pixel(const WindowPixels& w, int x, int y) { return w.at(x, window_y(y)); }
  // The plot's pixel for light (u, v): column 125 + 125·u, row 125 + 125·v
  // from the plot's bottom.
  static Rgb plot_pixel(const WindowPixels& w, float u, float v) {
    const int column = 125 + static_cast<int>(u * 125);
    const int row = 125 + static_cast<int>(v * 125);
    return w.at(plot_left + column, plot_top + plot_size - 1 - row);
  }
  static WindowPixels plot(const WindowPixels& w) {
    return w.crop(plot_left, plot_top, plot_size, plot_size);
  }
  // The caption "Light  n" under the plot, left of the light slider.
  static WindowPixels caption(const WindowPixels& w) { return w.crop(map_width + 2, 428, 36, 18); }

  static bool has_white(const WindowPixels& w) {
    for (int y = 0; y < w.height; ++y) {
      for (int x = 0; x < w.width; ++x) {
        if (w.at(x, y) == Rgb{255, 255, 255}) return true;
      }
    }
    return false;
  }

  // How many view pixels of columns x0..x1 − 1 are not within `tolerance`
  // of `expected`.
  static int view_pixels_off(const WindowPixels& w, int x0, int x1, Rgb expected, int tolerance) {
    int off = 0;
    for (int y = 0; y < map_height; ++y) {
      for (int x = x0; x < x1; ++x) off += near(view_pixel(w, x, y), expected, tolerance) ? 0 : 1;
    }
    return off;
  }
  // The left half shows `left` and the right half `right`, within `tolerance`.
  static bool halves_are(const WindowPixels& w, Rgb left, Rgb right, int tolerance) {
    return view_pixels_off(w, 0, map_width / 2, left, tolerance) == 0 &&
           view_pixels_off(w, map_width / 2, map_width, right, tolerance) == 0;
  }
  static std::string halves(const WindowPixels& w) {
    return "view shows " + to_string(view_pixel(w, 0, 0)) + " on the left and " +
           to_string(view_pixel(w, map_width - 1, 0)) + " on the right";
  }

  // Whether the view shows `unzoomed` magnified twice from map pixel
  // (left, bottom): view pixel (x, y) shows map position (left + x/2,
  // bottom + y/2), which at even x and y is a map pixel itself, unchanged.
  static bool shows_magnified(const WindowPixels& w, const WindowPixels& unzoomed, int left,
                              int bottom) {
    for (int y = 0; y < map_height; y += 2) {
      for (int x = 0; x < map_width; x += 2) {
        if (!(view_pixel(w, x, y) == view_pixel(unzoomed, left + x / 2, bottom + y / 2))) {
          return false;
        }
      }
    }
    return true;
  }

  // Types `key` (an X key name) with the pointer in the panel.
  void type(const std::string& key) { ASSERT_TRUE(press_key(window_, panel_x, panel_y, key)); }

  // Moves the pointer to (x, y) of the main window (sub-windows included).
  void move_to(int x, int y) {
    ASSERT_TRUE(xdotool("mousemove --window " + window_ + " " + std::to_string(x) + " " +
                        std::to_string(y)));
  }

  // A drag with `button` from view pixel (x0, y0) to (x1, y1) through their
  // midpoint.
  void drag_in_view(int button, int x0, int y0, int x1, int y1) {
    const std::string b = std::to_string(button);
    move_to(x0, window_y(y0));
    ASSERT_TRUE(xdotool("mousedown " + b));
    move_to((x0 + x1) / 2, window_y((y0 + y1) / 2));
    move_to(x1, window_y(y1));
    ASSERT_TRUE(xdotool("mouseup " + b));
  }

  // Opens the pop-up menu with the right button at (x, y) of the main
  // window and releases the button over entry `entry` (1..15). The menu is
  // GLUT's own override-redirect window, named "freeglut menu"; its 15
  // entries share its height equally (apart from a thin border).
  void choose_menu_entry(int x, int y, int entry) {
    move_to(x, y);
    ASSERT_TRUE(xdotool("mousedown 3"));
    const std::string menu = find_window("freeglut menu", 10);
    ASSERT_FALSE(menu.empty()) << "the menu did not open";
    const WindowGeometry geometry = window_geometry(menu);
    ASSERT_GT(geometry.height, 15 * 10) << "menu of 15 entries";
    const int entry_y = static_cast<int>(geometry.height * (entry - 0.5) / 15);
    ASSERT_TRUE(xdotool("mousemove --window " + menu + " 20 " + std::to_string(entry_y)));
    ASSERT_TRUE(xdotool("mouseup 3"));
  }

  std::string output_after_normals() const {
    const std::string out = output_so_far(program_);
    const std::size_t at = out.find(normals_line);
    return at == std::string::npos ? "" : out.substr(at + normals_line.size());
  }

  std::string directory_;
  RunningProgram program_{};
  bool running_ = false;
  std::string window_;
};

TEST_F(ViewerWindowTest, DraggingTheLightInTheReflectanceWindowRelightsTheView) {
  open(side_lit_map());
  const WindowPixels start = capture();
  EXPECT_TRUE(halves_are(start, {78, 39, 19}, {19, 39, 78}, 1)) << halves(start);

  // Press at the plot's centre (light (0, 0)); while the button is held,
  // move to 50 pixels right of it: u = 50·0.008 = 0.4.
  move_to(plot_left + 125, plot_top + 125);
  ASSERT_TRUE(xdotool("mousedown 1"));
  move_to(plot_left + 175, plot_top + 125);
  WindowPixels shown = wait_for([](const WindowPixels& w) {
    return halves_are(w, {140, 70, 35}, {35, 70, 140}, 1);
  });
  EXPECT_TRUE(halves_are(shown, {140, 70, 35}, {35, 70, 140}, 1))
      << "while dragging to u = 0.4, " << halves(shown);

  // Further right, u = 0.8, and release there: the view stays lit from there.
  move_to(plot_left + 225, plot_top + 125);
  ASSERT_TRUE(xdotool("mouseup 1"));
  shown = wait_for([](const WindowPixels& w) {
    return halves_are(w, {202, 101, 50}, {50, 101, 202}, 1);
  });
  EXPECT_TRUE(halves_are(shown, {202, 101, 50}, {50, 101, 202}, 1))
      << "after releasing at u = 0.8, " << halves(shown);
  pause_ms(300);
  shown = capture();
  EXPECT_TRUE(halves_are(shown, {202, 101, 50}, {50, 101, 202}, 1))
      << "later, after releasing at u = 0.8, " << halves(shown);

  // A second drag, to the left (u = −0.8): the surface faces away, black.
  move_to(plot_left + 125, plot_top + 125);
  ASSERT_TRUE(xdotool("mousedown 1"));
  move_to(plot_left + 25, plot_top + 125);
  ASSERT_TRUE(xdotool("mouseup 1"));
  shown = wait_for([](const WindowPixels& w) { return halves_are(w, {0, 0, 0}, {0, 0, 0}, 0); });
  EXPECT_TRUE(halves_are(shown, {0, 0, 0}, {0, 0, 0}, 0))
      << "after releasing at u = -0.8, " << halves(shown);
}

TEST_F(ViewerWindowTest, ALeftClickInTheViewMovesTheProbeAndThePlotShowsItsPixel) {
  open(side_lit_map());
  // The probe starts at view pixel (0, 0), which is orange.
  const WindowPixels start = capture();
  EXPECT_TRUE(near(plot_pixel(start, 0, 0), {78, 39, 19}, 1)) << to_string(plot_pixel(start, 0, 0));
  EXPECT_EQ(plot_pixel(start, 0.8f, 0), (Rgb{202, 101, 50}));
  EXPECT_EQ(plot_pixel(start, -0.8f, 0), (Rgb{0, 0, 0}));

  // A click on view pixel (40, 20), in the blue half.
  move_to(40, window_y(20));
  ASSERT_TRUE(xdotool("click 1"));
  const WindowPixels shown = wait_for([](const WindowPixels& w) {
    return plot_pixel(w, 0.8f, 0) == Rgb{50, 101, 202};
  });
  EXPECT_EQ(plot_pixel(shown, 0.8f, 0), (Rgb{50, 101, 202}));
  EXPECT_TRUE(near(plot_pixel(shown, 0, 0), {19, 39, 78}, 1)) << to_string(plot_pixel(shown, 0, 0));
  EXPECT_EQ(plot_pixel(shown, -0.8f, 0), (Rgb{0, 0, 0}));
  // The view itself is not changed by probing.
  EXPECT_EQ(view(shown), view(start));
}

// The rubber band is drawn by inverting pixels (XOR with white) along the
// selected rectangle's outline; rasterisation may put each edge one pixel
// off, so a changed pixel must be inverted and lie within one pixel of the
// outline.
void expect_rubber_band(const WindowPixels& before, const WindowPixels& after, int x0, int y0,
                        int x1, int y1) {
  int changed = 0;
  int stray = 0;
  for (int y = 0; y < map_height; ++y) {
    for (int x = 0; x < map_width; ++x) {
      const Rgb b = before.at(x, window_height - 1 - y);
      const Rgb a = after.at(x, window_height - 1 - y);
      if (a == b) continue;
      ++changed;
      const bool on_vertical =
          (std::abs(x - x0) <= 1 || std::abs(x - x1) <= 1) && y >= y0 - 1 && y <= y1 + 1;
      const bool on_horizontal =
          (std::abs(y - y0) <= 1 || std::abs(y - y1) <= 1) && x >= x0 - 1 && x <= x1 + 1;
      const bool inverted = a == Rgb{255 - b.r, 255 - b.g, 255 - b.b};
      if (!(on_vertical || on_horizontal) || !inverted) ++stray;
    }
  }
  // The outline has 2·(x1 − x0) + 2·(y1 − y0) pixels.
  EXPECT_GE(changed, 2 * (x1 - x0) + 2 * (y1 - y0) - 8);
  EXPECT_LE(changed, 2 * (x1 - x0 + 1) + 2 * (y1 - y0 + 1) + 8);
  EXPECT_EQ(stray, 0) << "pixels changed away from the rubber band's outline, or not inverted";
}

TEST_F(ViewerWindowTest, AMiddleButtonDragSelectsARegionAndPrintsItsSizeAndCorner) {
  open(side_lit_map());
  const WindowPixels before = capture();
  drag_in_view(2, 16, 12, 48, 36);
  const std::string final_line = "\rSelected size: 33 x 25 at 16 12           \n";
  ASSERT_TRUE(wait_for_output(program_, final_line, 15)) << output_so_far(program_);
  const std::string printed = output_after_normals();
  // The press prints the one-pixel selection, the drag rewrites the line
  // in place, the release ends it.
  EXPECT_EQ(printed.rfind("\rSelected size: 1 x 1 at 16 12           \r", 0), 0u) << printed;
  ASSERT_GE(printed.size(), final_line.size());
  EXPECT_EQ(printed.substr(printed.size() - final_line.size()), final_line) << printed;

  expect_rubber_band(before, still(), 16, 12, 48, 36);
}

TEST_F(ViewerWindowTest, AShiftLeftDragSelectsLikeTheMiddleButtonWithoutMovingTheProbe) {
  open(side_lit_map());
  const WindowPixels before = capture();
  // From the top-right corner to the bottom-left one: the corners are
  // reported in order. The drag starts in the blue half, where a plain
  // left press would move the probe.
  ASSERT_TRUE(xdotool("keydown shift"));
  drag_in_view(1, 48, 36, 16, 12);
  ASSERT_TRUE(xdotool("keyup shift"));
  const std::string final_line = "\rSelected size: 33 x 25 at 16 12           \n";
  ASSERT_TRUE(wait_for_output(program_, final_line, 15)) << output_so_far(program_);
  const std::string printed = output_after_normals();
  EXPECT_EQ(printed.rfind("\rSelected size: 1 x 1 at 48 36           \r", 0), 0u) << printed;
  ASSERT_GE(printed.size(), final_line.size());
  EXPECT_EQ(printed.substr(printed.size() - final_line.size()), final_line) << printed;

  const WindowPixels after = still();
  expect_rubber_band(before, after, 16, 12, 48, 36);
  EXPECT_EQ(plot(after), plot(before)) << "the probe moved";
}

TEST_F(ViewerWindowTest, PlusZoomsOntoTheSelectedRegionAndMinusReturnsToTheWholeMap) {
  open(graded_map());
  const WindowPixels before = capture();
  // Columns 16..48 and rows 12..36: half the view each way, so '+' zooms
  // by 2 and view pixel (x, y) then shows map position (16 + x/2, 12 + y/2).
  drag_in_view(2, 16, 12, 48, 36);
  ASSERT_TRUE(wait_for_output(program_, "Selected size: 33 x 25 at 16 12           \n", 15))
      << output_so_far(program_);

  const auto magnified = [&before](const WindowPixels& w) {
    return shows_magnified(w, before, 16, 12);
  };
  type("plus");
  const WindowPixels zoomed = wait_for(magnified);
  EXPECT_TRUE(magnified(zoomed)) << "view pixel (0, 0) shows "
                                 << to_string(view_pixel(zoomed, 0, 0))
                                 << ", map pixel (16, 12) was "
                                 << to_string(view_pixel(before, 16, 12));
  // Between them the colour is interpolated: pixel (1, 0) lies between
  // map pixels (16, 12) and (17, 12).
  const Rgb left = view_pixel(before, 16, 12);
  const Rgb right = view_pixel(before, 17, 12);
  const Rgb between = view_pixel(zoomed, 1, 0);
  EXPECT_TRUE(between.r > left.r && between.r < right.r)
      << to_string(left) << " " << to_string(between) << " " << to_string(right);

  type("minus");
  const WindowPixels back =
      wait_for([&before](const WindowPixels& w) { return view(w) == view(before); });
  EXPECT_EQ(view(back), view(before))
      << "view pixel (0, 0) shows " << to_string(view_pixel(back, 0, 0));
}

TEST_F(ViewerWindowTest, ArrowKeysPanAZoomedViewByAQuarterOfItAndDoNothingUnzoomed) {
  open(graded_map());
  const WindowPixels before = capture();
  type("Right");
  type("Up");
  pause_ms(500);
  EXPECT_EQ(view(capture()), view(before)) << "an unzoomed view moved";

  drag_in_view(2, 16, 12, 48, 36);
  ASSERT_TRUE(wait_for_output(program_, "Selected size: 33 x 25 at 16 12           \n", 15))
      << output_so_far(program_);
  type("plus");
  const WindowPixels zoomed =
      wait_for([&before](const WindowPixels& w) { return shows_magnified(w, before, 16, 12); });
  ASSERT_TRUE(shows_magnified(zoomed, before, 16, 12));

  // At zoom 2 a step is 0.25 / 2 of the map: 8 of its 64 columns, 6 of its
  // 48 rows.
  type("Right");
  const WindowPixels right =
      wait_for([&before](const WindowPixels& w) { return shows_magnified(w, before, 24, 12); });
  EXPECT_TRUE(shows_magnified(right, before, 24, 12))
      << "view pixel (0, 0) shows " << to_string(view_pixel(right, 0, 0));
  type("Up");
  const WindowPixels up =
      wait_for([&before](const WindowPixels& w) { return shows_magnified(w, before, 24, 18); });
  EXPECT_TRUE(shows_magnified(up, before, 24, 18))
      << "view pixel (0, 0) shows " << to_string(view_pixel(up, 0, 0));
  type("Left");
  type("Down");
  const WindowPixels back =
      wait_for([&before](const WindowPixels& w) { return shows_magnified(w, before, 16, 12); });
  EXPECT_TRUE(shows_magnified(back, before, 16, 12))
      << "view pixel (0, 0) shows " << to_string(view_pixel(back, 0, 0));
}

TEST_F(ViewerWindowTest, KeyTwoMakesLightTwoCurrentAndAgainSwitchesItOff) {
  // Single buffered: the old caption must not show through the new one.
  open(side_lit_map(), "-s");
  const WindowPixels start = capture();
  const WindowPixels light_one_caption = caption(start);

  // Light 2 is new: it points at (0, 0) with intensity 1, like light 1, and
  // the two are added: every channel doubles.
  type("2");
  const auto doubled = [&start](const WindowPixels& w) {
    for (int y = 0; y < map_height; ++y) {
      for (int x = 0; x < map_width; ++x) {
        const Rgb s = view_pixel(start, x, y);
        const Rgb expected{std::min(255, 2 * s.r), std::min(255, 2 * s.g), std::min(255, 2 * s.b)};
        if (!(view_pixel(w, x, y) == expected)) return false;
      }
    }
    return true;
  };
  const WindowPixels both = wait_for(doubled);
  EXPECT_TRUE(doubled(both)) << "with light 1 showing " << to_string(view_pixel(start, 0, 0))
                             << ", lights 1 and 2 show " << to_string(view_pixel(both, 0, 0));
  EXPECT_NE(caption(both), light_one_caption) << "the caption still names light 1";

  // '2' again: light 2 goes off, light 1 alone lights the view; light 2
  // stays the current one.
  type("2");
  const WindowPixels second =
      wait_for([&start](const WindowPixels& w) { return view(w) == view(start); });
  EXPECT_EQ(view(second), view(start)) << "view shows " << to_string(view_pixel(second, 0, 0));
  EXPECT_EQ(caption(second), caption(both));

  // '1' makes light 1 current again: its caption comes back.
  type("1");
  const WindowPixels third = wait_for(
      [&light_one_caption](const WindowPixels& w) { return caption(w) == light_one_caption; });
  EXPECT_EQ(caption(third), light_one_caption);
  EXPECT_EQ(view(third), view(start));
}

TEST_F(ViewerWindowTest, KeyAStartsTheAutopilotAndStopsIt) {
  open(side_lit_map());
  const WindowPixels start = still();

  // While it runs the light circles by itself: the view and the light's
  // marker in the plot keep moving. Five captures spread over a second show
  // at least three different pictures (two may meet the same step of the
  // circle by chance).
  type("a");
  std::vector<WindowPixels> pictures;  // the different ones
  bool start_seen = false;
  for (int i = 0; i < 5; ++i) {
    pause_ms(200);
    const WindowPixels now = capture();
    if (std::find(pictures.begin(), pictures.end(), now) == pictures.end()) pictures.push_back(now);
    start_seen = start_seen || now == start;
  }
  EXPECT_GE(pictures.size(), 3u) << "the window did not keep changing";
  EXPECT_FALSE(start_seen) << "the window showed the picture before the autopilot";

  // Stopped: the window settles and stays as it is.
  type("a");
  const WindowPixels settled = still();
  pause_ms(500);
  const WindowPixels later = capture();
  pause_ms(500);
  EXPECT_EQ(later, settled) << "the window still changes after the second 'a'";
  EXPECT_EQ(capture(), settled) << "the window still changes after the second 'a'";
}

TEST_F(ViewerWindowTest, KeyDTurnsAnLrgbViewGrey) {
  open(side_lit_map());
  // Every colour becomes 127 and every constant term the mean, 100:
  // under light (0, 0), L ≈ 100 gives 100·127/256 → 49 in each channel.
  type("d");
  const WindowPixels shown = wait_for([](const WindowPixels& w) {
    return halves_are(w, {49, 49, 49}, {49, 49, 49}, 0);
  });
  EXPECT_TRUE(halves_are(shown, {49, 49, 49}, {49, 49, 49}, 0)) << halves(shown);
  // The plot of the probe is grey too: at u = 0.8, L ≈ 260 gives 128.
  EXPECT_EQ(plot_pixel(shown, 0.8f, 0), (Rgb{128, 128, 128}));
  EXPECT_EQ(output_after_normals(), "");
}

TEST_F(ViewerWindowTest, KeyDOnAnRgbMapPrintsThatItCannotDiscardColour) {
  open(random_ptm_fixture(0, 2, map_width, map_height, 7));
  const WindowPixels before = capture();
  type("d");
  const std::string message = "Discard color info command not implemented for this format of PTM\n";
  ASSERT_TRUE(wait_for_output(program_, message, 15)) << output_so_far(program_);
  EXPECT_EQ(output_after_normals(), message);
  EXPECT_EQ(view(still()), view(before));
}

TEST_F(ViewerWindowTest, EscapeInTheReflectanceWindowExitsWithStatusZero) {
  open(side_lit_map());
  ASSERT_TRUE(press_key(window_, plot_left + 125, plot_top + 125, "Escape"));
  const ProgramRun run = finish();
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
}

TEST_F(ViewerWindowTest, TheMenuQuitEntryExitsWithStatusZero) {
  open(side_lit_map());
  choose_menu_entry(30, 100, 15);
  const ProgramRun run = finish();
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::size_t at = run.out.find(normals_line);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(run.out.substr(at + normals_line.size()), "") << "printed on quitting";
}

TEST_F(ViewerWindowTest, TheMenuNormalCrosshairEntryMarksTheProbeNormalInThePlot) {
  open(side_lit_map());
  // Pure red is the crosshair's colour; no plot colour of this map is pure
  // red (its green is half its red).
  const auto red_pixels = [](const WindowPixels& w, int& right_half) {
    const WindowPixels p = plot(w);
    int count = 0;
    right_half = 0;
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        if (p.at(x, y) == Rgb{255, 0, 0}) {
          ++count;
          if (x > 125) ++right_half;
        }
      }
    }
    return count;
  };
  int right_half = 0;
  ASSERT_EQ(red_pixels(capture(), right_half), 0);

  choose_menu_entry(30, 100, 5);
  const WindowPixels marked = wait_for([&red_pixels](const WindowPixels& w) {
    int unused = 0;
    return red_pixels(w, unused) > 0;
  });
  const int count = red_pixels(marked, right_half);
  // A cross of two 21-pixel strokes (less where it leaves the plot).
  EXPECT_GE(count, 11);
  EXPECT_LE(count, 41);
  // The map brightens towards +u, so its normal leans that way.
  EXPECT_EQ(right_half, count) << "the cross is not right of the plot's centre";

  choose_menu_entry(30, 100, 5);
  const WindowPixels unmarked = wait_for([&red_pixels](const WindowPixels& w) {
    int unused = 0;
    return red_pixels(w, unused) == 0;
  });
  EXPECT_EQ(red_pixels(unmarked, right_half), 0) << "the second choice left the cross on";
}

}  // namespace

#endif
