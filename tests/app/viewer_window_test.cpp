// The viewer's windows driven by real X input: the light, the probe,
// selections, zoom and pan, the lights, the autopilot, colour discard and
// quitting.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#ifdef RELUMO_BINARY

#include "viewer_window_fixture.h"

namespace {

using namespace window_test;

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

// View pixel (x, y) of a window `w` of any height (y upward from the
// bottom row, where the view sits).
Rgb view_pixel_of(const WindowPixels& w, int x, int y) { return w.at(x, w.height - 1 - y); }

// A 100 x 1400 map, taller than the test screen (1280 x 1024) allows: the
// window is 400 x 999 (the screen less 25 rows), the view 100 x 999. The
// fit zoom is min(100 / 100, 999 / 1400) and the map is centred across the
// view: pan_u = 0.5 - 0.5 (100 / 100) / zoom, pan_v = 0.5 - 0.5 (999 /
// 1400) / zoom = 0. View pixel (x, y) shows map position (x / zoom + 100
// pan_u, y / zoom + 1400 pan_v); positions not strictly inside (0, 98) x
// (0, 1398) are black. Inside, the colour is the bilinear blend of the map
// colours there (red 2x + 20, green 50 + y / 10, blue 100) under the
// constant luminance 255 (times 255 / 256, within one unit).
TEST_F(ViewerWindowTest, AMapLargerThanTheWindowStartsZoomedOutAndCentred) {
  constexpr int width = 100;
  constexpr int height = 1400;
  constexpr int view_height = 999;
  PtmFixture f;
  f.format = 2;
  f.format_word = "PTM_FORMAT_LRGB";
  f.width = width;
  f.height = height;
  auto colour = [](float x, float y) { return std::array<float, 3>{2 * x + 20, 50 + y / 10, 100}; };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      f.coefficients[0].insert(f.coefficients[0].end(), {0, 0, 0, 0, 0, 255});
      for (float c : colour(static_cast<float>(x), static_cast<float>(y))) {
        f.colour.push_back(static_cast<std::uint8_t>(c));
      }
    }
  }
  open_sized(f, "", false, width + 300, view_height, width);
  if (HasFatalFailure()) return;
  const WindowPixels shown = capture();

  const float zoom = std::min(1.0f, static_cast<float>(view_height) / height);
  const float pan_u = 0.5f - 0.5f * 1.0f / zoom;
  const float pan_v = 0.5f - 0.5f * (static_cast<float>(view_height) / height) / zoom;
  int black_left = 0;
  int black_right = 0;
  int checked = 0;
  for (int y = 0; y < view_height; y += 7) {
    for (int x = 0; x < width; ++x) {
      const float fx = static_cast<float>(x) / zoom + width * pan_u;
      const float fy = static_cast<float>(y) / zoom + height * pan_v;
      const Rgb got = view_pixel_of(shown, x, y);
      if (!(0 < fx && fx < width - 2 && 0 < fy && fy < height - 2)) {
        ASSERT_EQ(got, (Rgb{0, 0, 0})) << "view pixel " << x << ", " << y;
        if (y == 497) (fx <= 0 ? black_left : black_right) += 1;
        continue;
      }
      // Bilinear blend of the stored (truncated) colours around (fx, fy).
      const int x0 = static_cast<int>(fx);
      const int y0 = static_cast<int>(fy);
      const float dx = fx - x0;
      const float dy = fy - y0;
      Rgb expected{};
      int* channels[3] = {&expected.r, &expected.g, &expected.b};
      for (int c = 0; c < 3; ++c) {
        auto at = [&](int cx, int cy) {
          return std::floor(colour(static_cast<float>(cx), static_cast<float>(cy))[c]);
        };
        const float blended = ((1 - dx) * at(x0, y0) + dx * at(x0 + 1, y0)) * (1 - dy) +
                              dy * ((1 - dx) * at(x0, y0 + 1) + dx * at(x0 + 1, y0 + 1));
        *channels[c] = static_cast<int>(std::floor(blended) * 255 / 256);
      }
      ASSERT_TRUE(near(got, expected, 2)) << "view pixel " << x << ", " << y << ": "
                                          << to_string(got) << ", expected " << to_string(expected);
      ++checked;
    }
  }
  EXPECT_GT(checked, 5000);
  // Centred: as many black columns left of the map as right of it.
  EXPECT_GT(black_left, 10);
  EXPECT_LE(std::abs(black_left - black_right), 1) << black_left << " left, " << black_right;
}

// After a reshape the plot and the sliders move with the view's width and
// the plot is drawn again for the probe, which stays on its place of the
// map and on a pixel of the view that shows the map. The graded map (red
// 4x + 2, green 5y + 2, blue 100 under the constant luminance 255, which
// shows a colour c as c·255/256 within one unit) tells the probe's place
// from the plot's colour. The probe starts at view pixel (0, 0).
//
// At 340 x 450 the view is 40 x 48: zoomed to fit (rx = 40 / 64, ry = 1,
// zoom min(rx, ry)), the map is centred up and down (pan_u = 0.5 - 0.5 rx /
// zoom, pan_v = 0.5 - 0.5 ry / zoom) and view pixel (x, y) shows map
// position (x / zoom + 64 pan_u, y / zoom + 48 pan_v), resampled only
// strictly inside (0, 62) x (0, 46): map position (0, 0) falls on the
// margin, so the probe takes the nearest view pixel that shows the map.
// The plot's window sits at (40 + 25, 25), the light slider at (40 + 40,
// 250 + 180). At 1200 x 800 the map fits unzoomed at the bottom-left and
// the probe is on the map pixel nearest its place; the plot is back at
// (64 + 25, 25).
TEST_F(ViewerWindowTest, AReshapeMovesThePlotAndSlidersAndKeepsThePlotDrawn) {
  open(graded_map());
  auto colour = [](float x, float y) { return std::array<float, 3>{4 * x + 2, 5 * y + 2, 100}; };
  auto shown = [](float c) { return static_cast<int>(c) * 255 / 256; };
  // Map position (0, 0) first.
  float at_x = 0;
  float at_y = 0;
  Rgb previous{shown(2), shown(2), shown(100)};

  const struct { int width, height, view_width; } sizes[] = {{340, 450, 40}, {1200, 800, 64}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
    const float rx = static_cast<float>(size.view_width) / map_width;
    const float zoom = std::min(rx, 1.0f);
    const bool zoomed = zoom < 0.99f;
    const float pan_x = zoomed ? map_width * (0.5f - 0.5f * rx / zoom) : 0;
    const float pan_y = zoomed ? map_height * (0.5f - 0.5f * 1.0f / zoom) : 0;
    auto map_of = [&](int c, float pan) {
      return static_cast<float>(c) / (zoomed ? zoom : 1) + pan;
    };
    // The view pixel nearest the probe's map position that shows the map.
    auto place = [&](float at, float pan, int view_size, int map_size) {
      const int wanted = std::clamp(static_cast<int>(std::lround((at - pan) * (zoomed ? zoom : 1))),
                                    0, view_size - 1);
      for (int step = 0; step < view_size; ++step) {
        for (int c : {wanted - step, wanted + step}) {
          const float m = map_of(c, pan);
          if (c >= 0 && c < view_size && (!zoomed || (0 < m && m < map_size - 2))) return c;
        }
      }
      return wanted;
    };
    const int probe_x = place(at_x, pan_x, size.view_width, map_width);
    const int probe_y = place(at_y, pan_y, map_height, map_height);
    at_x = map_of(probe_x, pan_x);
    at_y = map_of(probe_y, pan_y);
    // The colour there: the zoom blends the stored colours bilinearly and
    // truncates.
    const int x0 = static_cast<int>(at_x);
    const int y0 = static_cast<int>(at_y);
    const float dx = at_x - x0;
    const float dy = at_y - y0;
    int blended[3];
    for (int c = 0; c < 3; ++c) {
      auto stored = [&](int cx, int cy) {
        return std::floor(colour(static_cast<float>(cx), static_cast<float>(cy))[c]);
      };
      blended[c] = shown(((1 - dx) * stored(x0, y0) + dx * stored(x0 + 1, y0)) * (1 - dy) +
                         dy * ((1 - dx) * stored(x0, y0 + 1) + dx * stored(x0 + 1, y0 + 1)));
    }
    const Rgb expected{blended[0], blended[1], blended[2]};
    ASSERT_GT(std::abs(expected.r - previous.r), 1) << "the case cannot tell a stale plot";
    previous = expected;

    resize(size.width, size.height);
    const int plot_x = size.view_width + 25;
    const auto plot_centre = [&](const WindowPixels& w) {
      return w.at(plot_x + 125, plot_top + plot_size - 1 - 125);
    };
    const auto plot_shows_probe = [&](const WindowPixels& w) {
      return w.width == size.width && w.height == size.height &&
             near(plot_centre(w), expected, 1) &&
             near(w.at(size.view_width + 40 + 1, 250 + 180 + 1), Rgb{77, 77, 77}, 1);
    };
    WindowPixels now = wait_for(plot_shows_probe);
    EXPECT_TRUE(plot_shows_probe(now))
        << "plot centre " << to_string(plot_centre(now)) << ", expected " << to_string(expected)
        << " for the probe at view pixel (" << probe_x << ", " << probe_y << "); light slider "
        << to_string(now.at(size.view_width + 41, 431));
    pause_ms(500);
    now = capture();
    EXPECT_TRUE(plot_shows_probe(now)) << "the plot was not kept";
    // The plot window's left edge: the panel's grey (0.5: 127) left of it,
    // the plot's own grey corner outside the light disc (128) right of it.
    EXPECT_EQ(now.at(plot_x - 1, plot_top), (Rgb{127, 127, 127}));
    EXPECT_EQ(now.at(plot_x, plot_top), (Rgb{128, 128, 128}));
  }
}

// A grey map whose every pixel has the luminance L = -100 u² - 100 v² +
// 50 u + 100 (stored bytes 28, 28, 128, 178, 128, 228 with bias 128): its
// brightest light, and so its normal, is u = 50 / 200 = 0.25, v = 0, z =
// sqrt(1 - 0.25²) = 0.968; as bytes trunc(127 component) = (31, 0, 122),
// shown plus 128: (159, 128, 250). The scatter puts that colour at plot
// column 125 + 125·31/128 (integer) = 155, row 125.
PtmFixture tilted_normal_map() {
  PtmFixture f = lrgb_map({28, 28, 128, 178, 128, 228}, [](int, int) {
    return Rgb{128, 128, 128};
  });
  f.bias_line = "128 128 128 128 128 128\n";
  return f;
}

constexpr Rgb normal_colour{159, 128, 250};

class NormalPicturesTest : public ViewerWindowTest,
                           public testing::WithParamInterface<const char*> {
 protected:
  static bool normal_pictures_shown(const WindowPixels& w) {
    const WindowPixels p = plot(w);
    return view_pixels_off(w, 0, map_width, normal_colour, 0) == 0 &&
           p.at(155, plot_size - 1 - 125) == normal_colour;
  }
};

// "Display Normal Visualization" shows the normals as colours in the view
// and their scatter in the plot, and both stay through redraws that change
// nothing (the menu closing over the window, opening it and closing it
// unused) until the user changes something, here a key.
TEST_P(NormalPicturesTest, TheNormalPicturesStayUntilSomethingChanges) {
  open(tilted_normal_map(), GetParam());
  const WindowPixels start = capture();
  ASSERT_FALSE(normal_pictures_shown(start));

  choose_menu_entry(30, 100, 4);
  WindowPixels shown = wait_for(normal_pictures_shown);
  ASSERT_TRUE(normal_pictures_shown(shown))
      << "view pixel (0, 0) shows " << to_string(view_pixel(shown, 0, 0));
  pause_ms(500);
  EXPECT_TRUE(normal_pictures_shown(capture())) << "a later redraw removed the pictures";

  // The menu opened over the window and closed without a choice: released
  // above the view, left of the menu, it stays open until a click there
  // (which is outside the view, so it changes nothing either).
  move_to(30, 100);
  ASSERT_TRUE(xdotool("mousedown 3"));
  ASSERT_FALSE(find_window("freeglut menu", 10).empty());
  move_to(5, 5);
  ASSERT_TRUE(xdotool("mouseup 3"));
  pause_ms(300);
  ASSERT_TRUE(xdotool("click 1"));
  pause_ms(500);
  shown = still();
  EXPECT_TRUE(normal_pictures_shown(shown))
      << "after the menu closed, view pixel (0, 0) shows " << to_string(view_pixel(shown, 0, 0));

  // A key changes something: both views show the map again.
  type("x");
  const WindowPixels back = wait_for(
      [&start](const WindowPixels& w) { return view(w) == view(start) && plot(w) == plot(start); });
  EXPECT_EQ(view(back), view(start));
  EXPECT_EQ(plot(back), plot(start));
}

INSTANTIATE_TEST_SUITE_P(Buffering, NormalPicturesTest, testing::Values("-s", "-d"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param[1] == 's' ? "Single" : "Double");
                         });

// The left button in the plot with no modifier starts a light drag that
// clears the view outside a selected region to black (only the region is
// redrawn while dragging); with Ctrl or Alt it steers the light without
// that clear.
TEST_F(ViewerWindowTest, OnlyAPlainLeftPressInThePlotClearsOutsideTheRegion) {
  open(side_lit_map());
  drag_in_view(2, 16, 12, 48, 36);
  ASSERT_TRUE(wait_for_output(program_, "Selected size: 33 x 25 at 16 12           \n", 15))
      << output_so_far(program_);
  still();
  const struct {
    const char* modifier;  // "" for none
    Rgb outside;           // view pixel (2, 2), outside the region, while dragging
  } cases[] = {{"ctrl", {78, 39, 19}}, {"alt", {78, 39, 19}}, {"", {0, 0, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("modifier ") + c.modifier);
    const std::string modifier = c.modifier;
    move_to(plot_left + 125, plot_top + 125);
    if (!modifier.empty()) {
      ASSERT_TRUE(xdotool("keydown " + modifier));
    }
    ASSERT_TRUE(xdotool("mousedown 1"));
    // To u = 0.4: the region shows the light from there.
    move_to(plot_left + 175, plot_top + 125);
    const WindowPixels dragging = wait_for([](const WindowPixels& w) {
      return near(view_pixel(w, 20, 20), {140, 70, 35}, 1);
    });
    EXPECT_TRUE(near(view_pixel(dragging, 20, 20), {140, 70, 35}, 1))
        << to_string(view_pixel(dragging, 20, 20));
    EXPECT_TRUE(near(view_pixel(dragging, 2, 2), c.outside, 1))
        << to_string(view_pixel(dragging, 2, 2));
    // Back to the centre and released: the whole view is redrawn there.
    move_to(plot_left + 125, plot_top + 125);
    ASSERT_TRUE(xdotool("mouseup 1"));
    if (!modifier.empty()) {
      ASSERT_TRUE(xdotool("keyup " + modifier));
    }
    wait_for([](const WindowPixels& w) { return near(view_pixel(w, 2, 2), {78, 39, 19}, 1); });
  }
}

}  // namespace

#endif
