// The enhancement modes, their sliders, help, about and screenshots in a
// real window, driven by real X input.
//
// Geometry of the 64 x 48 maps (see viewer_window_fixture.h): the panel's
// sliders are 100 x 20 sub-windows at (64 + dx, 250 + dy) from the main
// window's top-left corner: light (40, 180), Amp (25, 50), Scale (25, 80),
// Kd (180, 30), Ks (180, 55), Exp (180, 80). Value x puts the handle's
// left edge at trunc(86 x + 2) within the slider.
#include <gtest/gtest.h>

#ifdef RELUMO_BINARY

#include "support/files.h"
#include "viewer_window_fixture.h"

namespace {

using namespace window_test;

struct SliderSpot {
  int x;  // top-left corner in the main window
  int y;
};
constexpr SliderSpot light_slider{map_width + 40, 250 + 180};
constexpr SliderSpot amp_slider{map_width + 25, 250 + 50};
constexpr SliderSpot scale_slider{map_width + 25, 250 + 80};
constexpr SliderSpot kd_slider{map_width + 180, 250 + 30};
constexpr SliderSpot ks_slider{map_width + 180, 250 + 55};
constexpr SliderSpot exp_slider{map_width + 180, 250 + 80};

// The sliders' background is grey 0.3; the panel around them grey 0.5.
bool slider_shown(const WindowPixels& w, SliderSpot s) {
  return near(w.at(s.x + 1, s.y + 1), Rgb{77, 77, 77}, 1);
}

class EnhancementWindowTest : public ViewerWindowTest {
 protected:
  // Drags the handle of `slider` from value `from` to the pointer position
  // `to_x` inside the slider (beyond its ends too) and releases it.
  void drag_slider(SliderSpot slider, double from, int to_x) {
    const int handle = static_cast<int>(86 * from + 2) + 5;
    move_to(slider.x + handle, slider.y + 10);
    ASSERT_TRUE(xdotool("mousedown 1"));
    move_to(slider.x + (handle + to_x) / 2, slider.y + 10);
    move_to(slider.x + to_x, slider.y + 10);
    ASSERT_TRUE(xdotool("mouseup 1"));
  }
};

TEST_F(EnhancementWindowTest, TheLightSliderAtTheFarLeftSwitchesTheLightOffAndFurtherRightDims) {
  open(side_lit_map());
  const WindowPixels start = capture();
  const Rgb lit = view_pixel(start, 0, 0);
  ASSERT_TRUE(near(lit, Rgb{78, 39, 19}, 1)) << to_string(lit);

  // Beyond the left end: value 0, the light goes off and the view is the
  // grey of an unlit window.
  drag_slider(light_slider, 0.25, -40);
  const WindowPixels off = wait_for([](const WindowPixels& w) {
    return near(view_pixel(w, 0, 0), Rgb{128, 128, 128}, 1);
  });
  EXPECT_TRUE(near(view_pixel(off, 0, 0), Rgb{128, 128, 128}, 1))
      << to_string(view_pixel(off, 0, 0));

  // Half way (pointer at 2 + 43): intensity 2 doubles every channel.
  drag_slider(light_slider, 0.0, 45);
  const WindowPixels doubled = wait_for([&lit](const WindowPixels& w) {
    return near(view_pixel(w, 0, 0), Rgb{2 * lit.r, 2 * lit.g, 2 * lit.b}, 2);
  });
  EXPECT_TRUE(near(view_pixel(doubled, 0, 0), Rgb{2 * lit.r, 2 * lit.g, 2 * lit.b}, 2))
      << to_string(view_pixel(doubled, 0, 0));
}

// A map with curvature, which diffuse gain changes: L(u, v) = 50 u² +
// 200 u + 100, brightest towards +u, so the normals lean that way and the
// rewritten constant term a5' = 50 nu² (g - 1) + 100 grows with the gain.
PtmFixture curved_map() {
  return lrgb_map({50, 0, 0, 200, 0, 100}, [](int x, int) {
    return x < map_width / 2 ? Rgb{200, 100, 50} : Rgb{50, 100, 200};
  });
}

TEST_F(EnhancementWindowTest, SpecularAndDiffuseGainBringTheirSlidersAndSwitchEachOtherOff) {
  open(curved_map());
  const WindowPixels plain = capture();
  ASSERT_FALSE(slider_shown(plain, kd_slider));

  choose_menu_entry(panel_x, panel_y, 1);
  // The sliders appear before the view is relit with the highlight.
  const WindowPixels specular = wait_for([&plain](const WindowPixels& w) {
    return slider_shown(w, kd_slider) && slider_shown(w, ks_slider) &&
           slider_shown(w, exp_slider) && view(w) != view(plain);
  });
  EXPECT_TRUE(slider_shown(specular, kd_slider) && slider_shown(specular, ks_slider) &&
              slider_shown(specular, exp_slider));
  EXPECT_NE(view(specular), view(plain)) << "specular enhancement left the view as it was";

  // Diffuse gain: the specular sliders go, Amp comes, and the menu shows
  // the new marks: entries 1 and 2 rewritten, entry 4 untouched. (Both
  // pictures are taken after the menu's first showing, whose first frame
  // freeglut draws before it has sized the window.)
  const WindowPixels menu_specular = menu_picture(panel_x, panel_y);
  choose_menu_entry(panel_x, panel_y, 2);
  const WindowPixels gain = wait_for([&specular](const WindowPixels& w) {
    return slider_shown(w, amp_slider) && !slider_shown(w, kd_slider) && view(w) != view(specular);
  });
  EXPECT_TRUE(slider_shown(gain, amp_slider));
  EXPECT_FALSE(slider_shown(gain, kd_slider) || slider_shown(gain, ks_slider) ||
               slider_shown(gain, exp_slider));
  const WindowPixels menu_gain = menu_picture(panel_x, panel_y);
  ASSERT_EQ(menu_specular.height, menu_gain.height);
  const int width = std::min(menu_specular.width, menu_gain.width);
  EXPECT_NE(menu_row(menu_gain, 1, width), menu_row(menu_specular, 1, width))
      << "entry 1 kept its mark";
  EXPECT_NE(menu_row(menu_gain, 2, width), menu_row(menu_specular, 2, width))
      << "entry 2 kept its mark";
  EXPECT_EQ(menu_row(menu_gain, 4, width), menu_row(menu_specular, 4, width));

  // Amp dragged to its right end (gain 101) acts when the button comes up.
  const WindowPixels before_drag = still();
  drag_slider(amp_slider, 0.2, 95);
  const WindowPixels sharper =
      wait_for([&before_drag](const WindowPixels& w) { return view(w) != view(before_drag); });
  EXPECT_NE(view(sharper), view(before_drag)) << "the gain did not change the view";

  // Switching diffuse gain off shows the loaded map again.
  choose_menu_entry(panel_x, panel_y, 2);
  const WindowPixels back = wait_for([&plain](const WindowPixels& w) {
    return view(w) == view(plain) && !slider_shown(w, amp_slider);
  });
  EXPECT_EQ(view(back), view(plain));
  EXPECT_FALSE(slider_shown(back, amp_slider));
}

TEST_F(EnhancementWindowTest, TheSpecularSlidersReachTheImageWhenReleased) {
  open(curved_map());
  const WindowPixels plain = capture();
  choose_menu_entry(panel_x, panel_y, 1);
  const WindowPixels specular = wait_for([&plain](const WindowPixels& w) {
    return slider_shown(w, exp_slider) && view(w) != view(plain);
  });

  // Exp at 0: every pixel whose normal faces the half-way vector at all
  // gets the full highlight.
  drag_slider(exp_slider, 0.6, -20);
  const WindowPixels broad =
      wait_for([&specular](const WindowPixels& w) { return view(w) != view(specular); });
  EXPECT_NE(view(broad), view(specular));

  // Kd and Ks at 0: neither colour nor highlight is left.
  drag_slider(kd_slider, 0.4, -20);
  drag_slider(ks_slider, 1.0, -20);
  const auto black = [](const WindowPixels& w) {
    return view_pixels_off(w, 0, map_width, Rgb{0, 0, 0}, 0) == 0;
  };
  const WindowPixels dark = wait_for(black);
  EXPECT_TRUE(black(dark)) << "view pixel (0, 0) shows " << to_string(view_pixel(dark, 0, 0));
}

TEST_F(EnhancementWindowTest, ExtrapolationShowsTheScaleSliderWhileOn) {
  open(side_lit_map());
  const WindowPixels at_one = capture();
  choose_menu_entry(panel_x, panel_y, 8);
  // At extent 2 the plot shrinks and marks the unit circle.
  const WindowPixels at_two = wait_for([&at_one](const WindowPixels& w) {
    return slider_shown(w, scale_slider) && plot(w) != plot(at_one);
  });
  EXPECT_TRUE(slider_shown(at_two, scale_slider));
  // Extent 2 to 3: the plot's unit-circle ring shrinks.
  drag_slider(scale_slider, 0.5, 95);
  const WindowPixels at_three =
      wait_for([&at_two](const WindowPixels& w) { return plot(w) != plot(at_two); });
  EXPECT_NE(plot(at_three), plot(at_two));
  choose_menu_entry(panel_x, panel_y, 8);
  const WindowPixels off =
      wait_for([](const WindowPixels& w) { return !slider_shown(w, scale_slider); });
  EXPECT_FALSE(slider_shown(off, scale_slider));
}

TEST_F(EnhancementWindowTest, HelpHidesTheWindowUntilAKeyArrivesOnTheConsole) {
  open(side_lit_map(), "", true);
  type("F1");
  ASSERT_TRUE(wait_for_output(program_, "Press any key to continue.\n", 15))
      << output_so_far(program_);
  EXPECT_NE(output_after_normals().find("This program is a browser for Polynomial Texture Maps"),
            std::string::npos);
  // Hidden while it waits (the command runs once the window is gone).
  for (int i = 0; i < 100 && window_viewable(window_); ++i) pause_ms(50);
  EXPECT_FALSE(window_viewable(window_));

  ASSERT_TRUE(send_input(program_, "k"));
  for (int i = 0; i < 100 && !window_viewable(window_); ++i) pause_ms(50);
  EXPECT_TRUE(window_viewable(window_)) << "the window did not come back";

  // About from the menu, once the window is drawn again: the same round
  // trip.
  still();
  choose_menu_entry(panel_x, panel_y, 14);
  ASSERT_TRUE(wait_for_output(program_, "Version 1.06\n", 15)) << output_so_far(program_);
  ASSERT_TRUE(send_input(program_, "k"));
  for (int i = 0; i < 100 && !window_viewable(window_); ++i) pause_ms(50);
  EXPECT_TRUE(window_viewable(window_));
}

// The TGA's size and its pixel (x, y) counted from the bottom row, as the
// view counts them; pixels are stored blue, green, red, bottom row first.
struct Tga {
  int width = 0;
  int height = 0;
  std::string bytes;
  std::size_t first_pixel = 0;
  Rgb at(int x, int y) const {
    const std::size_t i = first_pixel + (static_cast<std::size_t>(y) * width + x) * 3;
    return {static_cast<std::uint8_t>(bytes[i + 2]), static_cast<std::uint8_t>(bytes[i + 1]),
            static_cast<std::uint8_t>(bytes[i])};
  }
};

Tga read_tga(const std::string& path) {
  Tga tga;
  tga.bytes = read_file_bytes(path);
  if (tga.bytes.size() < 18) return tga;
  const auto byte = [&tga](int i) { return static_cast<std::uint8_t>(tga.bytes[i]); };
  tga.width = byte(12) | byte(13) << 8;
  tga.height = byte(14) | byte(15) << 8;
  tga.first_pixel = 18 + byte(0);
  return tga;
}

TEST_F(EnhancementWindowTest, TWritesAFullSizeScreenshotBesideTheMapAlsoWhenZoomed) {
  open(graded_map());
  const WindowPixels shown = capture();
  type("t");
  ASSERT_TRUE(wait_for_output(program_, "Creating Screenshot screenshot000.tga\n", 15))
      << output_so_far(program_);
  const Tga first = read_tga(directory_ + "/screenshot000.tga");
  ASSERT_EQ(first.width, map_width);
  ASSERT_EQ(first.height, map_height);
  ASSERT_EQ(first.bytes.size(), first.first_pixel + map_width * map_height * 3);
  EXPECT_EQ(first.bytes.substr(18, 11), std::string("Korvex PTM\0", 11));
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{63, 0}, std::pair{10, 47}}) {
    EXPECT_EQ(first.at(x, y), view_pixel(shown, x, y)) << x << ", " << y;
  }

  // Zoomed in, the next shot still covers the whole map pixel for pixel.
  type("plus");
  wait_for([&shown](const WindowPixels& w) { return view(w) != view(shown); });
  type("t");
  ASSERT_TRUE(wait_for_output(program_, "Creating Screenshot screenshot001.tga\n", 15))
      << output_so_far(program_);
  EXPECT_EQ(read_file_bytes(directory_ + "/screenshot001.tga"), first.bytes);
}

TEST_F(EnhancementWindowTest, DiffuseGainFollowsZoomsAndScreenshotsStayFullSize) {
  open(curved_map());
  const WindowPixels plain = capture();
  choose_menu_entry(panel_x, panel_y, 2);
  wait_for([&plain](const WindowPixels& w) {
    return slider_shown(w, amp_slider) && view(w) != view(plain);
  });
  // The view compared with later on is a settled frame, not one caught
  // while the transformed view was still being drawn.
  const WindowPixels gain = still();
  ASSERT_TRUE(slider_shown(gain, amp_slider));
  ASSERT_NE(view(gain), view(plain));
  type("t");
  ASSERT_TRUE(wait_for_output(program_, "Creating Screenshot screenshot000.tga\n", 15))
      << output_so_far(program_);

  // Zoomed by two about the centre, the transformed map is resampled; the
  // screenshot is still the whole transformed map.
  type("plus");
  const WindowPixels zoomed =
      wait_for([&gain](const WindowPixels& w) { return view(w) != view(gain); });
  EXPECT_NE(view(zoomed), view(gain));
  type("t");
  ASSERT_TRUE(wait_for_output(program_, "Creating Screenshot screenshot001.tga\n", 15))
      << output_so_far(program_);
  const std::string unzoomed_shot = read_file_bytes(directory_ + "/screenshot000.tga");
  EXPECT_FALSE(unzoomed_shot.empty());
  EXPECT_EQ(read_file_bytes(directory_ + "/screenshot001.tga"), unzoomed_shot);

  // Back to the whole map: the view shows the transform as before the zoom.
  type("minus");
  const WindowPixels back =
      wait_for([&gain](const WindowPixels& w) { return view(w) == view(gain); });
  EXPECT_EQ(view(back), view(gain));
}

// 'd' with Diffuse Gain on shows what 'd' did: the transform of the grey
// map with the mean constant term. The map is L = 200 u + a5 with a5 = 60
// in the left half and 140 in the right (orange and blue): its rewrite
// keeps every coefficient whatever the gain (no u², v², uv terms, so a3'
// = a3, a4' = a4 and a5' = a5 at any normal), so under light (0, 0) the
// gain view shows 60·C / 256 and 140·C / 256; after 'd' every pixel is
// grey 127 with a5 the mean 100: 100·127 / 256 = 49. Each within one unit
// (the two coefficient representations round differently). 'd' unzoomed,
// then zoomed in and after a reshape; and, in a second run, 'd' while
// zoomed.
TEST_F(EnhancementWindowTest, DiscardingColourWithDiffuseGainOnShowsTheGreyMap) {
  PtmFixture f = lrgb_map({0, 0, 0, 200, 0, 0}, [](int x, int) {
    return x < map_width / 2 ? Rgb{200, 100, 50} : Rgb{50, 100, 200};
  });
  for (int p = 0; p < map_width * map_height; ++p) {
    f.coefficients[0][p * 6 + 5] = p % map_width < map_width / 2 ? 60 : 140;
  }
  const Rgb grey{49, 49, 49};
  const auto all_grey = [&grey](const WindowPixels& w) {
    return view_pixels_off(w, 0, map_width, grey, 1) == 0;
  };
  for (const bool zoom_first : {false, true}) {
    SCOPED_TRACE(zoom_first ? "'d' while zoomed" : "'d' unzoomed");
    open(f);
    choose_menu_entry(panel_x, panel_y, 2);
    const WindowPixels gain = wait_for([](const WindowPixels& w) {
      return slider_shown(w, amp_slider) && halves_are(w, {46, 23, 11}, {27, 54, 109}, 1);
    });
    ASSERT_TRUE(halves_are(gain, {46, 23, 11}, {27, 54, 109}, 1)) << halves(gain);
    if (zoom_first) {
      // Zoomed by two about the centre, the view still shows both halves.
      type("plus");
      still();
    }
    type("d");
    WindowPixels shown = wait_for(all_grey);
    EXPECT_TRUE(all_grey(shown)) << halves(shown);
    if (!zoom_first) {
      type("plus");
      pause_ms(300);
      shown = wait_for(all_grey);
      EXPECT_TRUE(all_grey(shown)) << "zoomed in, " << halves(shown);
      // A reshape refits the view (unzoomed: the map fits) and makes the
      // transform again; the view stays at the window's bottom-left.
      resize(500, 500);
      const auto grey_after_reshape = [&grey](const WindowPixels& w) {
        if (w.height != 500) return false;
        for (int y = 0; y < map_height; ++y) {
          for (int x = 0; x < map_width; ++x) {
            if (!near(w.at(x, 499 - y), grey, 1)) return false;
          }
        }
        return true;
      };
      shown = wait_for(grey_after_reshape);
      EXPECT_TRUE(grey_after_reshape(shown))
          << "after a reshape view pixel (0, 0) shows " << to_string(shown.at(0, 499));
    }
    type("Escape");
    const ProgramRun run = finish();
    EXPECT_EQ(run.exit_status, 0) << run.err;
  }
}

}  // namespace

#endif
