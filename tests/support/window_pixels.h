// The pixels an X window shows, read back from the X server with xwd (the
// way a screenshot tool sees them), for tests that look at the viewer's
// windows as a person would.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A rectangle of pixels, rows from the top as X counts them.
struct WindowPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // red, green, blue per pixel, row by row

  bool empty() const { return width == 0 || height == 0; }
  Rgb at(int x, int y) const;
  // The part of width w and height h whose top-left pixel is (x, y).
  WindowPixels crop(int x, int y, int w, int h) const;
  friend bool operator==(const WindowPixels&, const WindowPixels&) = default;
};

// A binary PPM (P6, maximum value 255); empty when the bytes are not one.
WindowPixels parse_ppm(std::string_view bytes);

// What window `window` (an X window id) shows now, sub-windows included,
// through `xwd | xwdtopnm | pamdepth 255`, each with a time limit; empty
// when the capture fails.
WindowPixels capture_window(const std::string& window);

// Captures `window` until `ready` holds for the capture or `timeout_ms`
// has passed; returns the last capture either way.
WindowPixels wait_for_pixels(const std::string& window,
                             const std::function<bool(const WindowPixels&)>& ready, int timeout_ms);

// Captures `window` until two captures `interval_ms` apart are the same
// (the program has finished drawing), for at most `timeout_ms`; returns
// the last capture.
WindowPixels wait_for_still_window(const std::string& window, int interval_ms, int timeout_ms);

struct WindowGeometry {
  int x = 0;  // on the screen
  int y = 0;
  int width = 0;
  int height = 0;
};

// Position and size of `window` (from `xdotool getwindowgeometry`); all
// zero when it cannot be read.
WindowGeometry window_geometry(const std::string& window);
