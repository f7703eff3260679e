// The viewer's windows used as a person uses them: real X pointer and key
// events (xdotool) go to the program, and the test looks at the pixels the
// windows show (xwd) and at what the program prints.
//
// Every map here is 64 x 48, so the main window is (64 + 300) x 450: the
// image view is the 64 x 48 rectangle at the window's bottom-left corner
// (view row 0 is window row 449), and the 250 x 250 reflectance plot has its
// top-left corner at (64 + 25, 25).
#pragma once

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

#include "support/files.h"
#include "support/ptm_fixture.h"
#include "support/run_program.h"
#include "support/window_pixels.h"
#include "support/x_input.h"

namespace window_test {

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

inline const std::string normals_line = "Computing Normals from PTM\n";

inline void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline std::string to_string(Rgb c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

inline bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// An LRGB map with scale 1 and bias 0, the same six luminance bytes and
// one colour per pixel.
inline PtmFixture lrgb_map(const std::array<std::uint8_t, 6>& luminance,
                           Rgb (*colour_at)(int x, int y)) {
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
inline PtmFixture side_lit_map() {
  return lrgb_map({0, 0, 0, 200, 0, 100}, [](int x, int) {
    return x < map_width / 2 ? Rgb{200, 100, 50} : Rgb{50, 100, 200};
  });
}

// A colour that differs from pixel to pixel (red grows with x, green with
// y) under a light-independent luminance (a5 = 255).
inline PtmFixture graded_map() {
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
    xdotool("keyup ctrl");
    xdotool("keyup alt");
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
  // An interactive program reads the console from a pipe the test writes
  // to (send_input).
  // The map is written as `map_name_` in the test's directory, the
  // program's working directory.
  void open(const PtmFixture& map, const std::string& option = "", bool interactive = false) {
    open_sized(map, option, interactive, map_width + 300, window_height, map_width);
  }

  // The same for a map of any size: the window is expected at width x
  // height with a view view_width pixels wide (the panel's caption sits
  // right of it).
  void open_sized(const PtmFixture& map, const std::string& option, bool interactive, int width,
                  int height, int view_width) {
    const std::filesystem::path file = std::filesystem::path(directory_) / map_name_;
    std::filesystem::create_directories(file.parent_path());
    write_file_bytes(file.string(), ptm_fixture_bytes(map));
    std::vector<std::string> command = launcher_;
    command.push_back(RELUMO_BINARY);
    command.push_back(map_name_);
    if (!option.empty()) command.push_back(option);
    program_ = interactive ? start_interactive_program(command, directory_)
                           : start_program(command, "", directory_);
    running_ = true;
    // The normals are computed once the final window is shown (the first
    // one may be replaced by one of another buffering).
    ASSERT_TRUE(wait_for_output(program_, normals_line, 60)) << output_so_far(program_);
    // The main window is titled after the map's file name, without folders.
    window_ = find_window(std::filesystem::path(map_name_).filename().string() + " - Relumo", 30);
    ASSERT_FALSE(window_.empty()) << "no window appeared";
    // Drawn: the panel caption (drawn after the view) is there and nothing
    // changes any more.
    const WindowPixels shown = wait_for_pixels(
        window_,
        [&](const WindowPixels& w) {
          return w.width == width && w.height == height &&
                 has_white(w.crop(view_width + 2, 428, 36, 18)) && capture_window(window_) == w;
        },
        30000);
    ASSERT_EQ(shown.width, width);
    ASSERT_EQ(shown.height, height);
  }

  // Waits for the program to end (after the key or menu entry that quits)
  // and collects its exit.
  ProgramRun finish() {
    running_ = false;
    return finish_program(program_, 30);
  }

  WindowPixels capture() const { return capture_window(window_); }

  // Gives the main window a new size, as a user dragging its border does.
  void resize(int width, int height) {
    ASSERT_TRUE(xdotool("windowsize " + window_ + " " + std::to_string(width) + " " +
                        std::to_string(height)));
  }
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

  // Opens the menu at (x, y) and captures it, then closes it by choosing
  // entry 5, the normal crosshair, which only marks the plot (an even
  // number of captures leaves it off).
  WindowPixels menu_picture(int x, int y) {
    move_to(x, y);
    EXPECT_TRUE(xdotool("mousedown 3"));
    const std::string menu = find_window("freeglut menu", 10);
    EXPECT_FALSE(menu.empty()) << "the menu did not open";
    const WindowPixels picture = wait_for_still_window(menu, 100, 5000);
    const int entry_y = static_cast<int>(window_geometry(menu).height * 4.5 / 15);
    EXPECT_TRUE(xdotool("mousemove --window " + menu + " 20 " + std::to_string(entry_y)));
    EXPECT_TRUE(xdotool("mouseup 3"));
    return picture;
  }

  // Entry `entry` of a captured menu, `width` pixels of it from the left
  // (a longer label may widen the menu).
  static WindowPixels menu_row(const WindowPixels& menu, int entry, int width) {
    const int top = menu.height * (entry - 1) / 15 + 2;
    return menu.crop(0, top, width, menu.height / 15 - 4);
  }

  std::string errors_so_far() const { return read_file_bytes(program_.scratch + "/stderr"); }

  // Waits until the program's standard error contains `text`.
  bool wait_for_errors(const std::string& text) const {
    for (int i = 0; i < 300; ++i) {
      if (errors_so_far().find(text) != std::string::npos) return true;
      pause_ms(50);
    }
    return false;
  }

  std::string output_after_normals() const {
    const std::string out = output_so_far(program_);
    const std::size_t at = out.find(normals_line);
    return at == std::string::npos ? "" : out.substr(at + normals_line.size());
  }

  std::string directory_;
  std::string map_name_ = "map.ptm";
  // What the program is started through, when not directly (a shell that
  // sets a limit first, for example); the program and its arguments follow.
  std::vector<std::string> launcher_;
  RunningProgram program_{};
  bool running_ = false;
  std::string window_;
};

}  // namespace window_test
