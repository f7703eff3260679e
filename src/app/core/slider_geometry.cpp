#include "app/core/slider_geometry.h"

#include <algorithm>
#include <cmath>

bool slider_is_vertical(int width, int height) { return height >= width; }

int slider_track(int length) { return static_cast<int>(std::trunc(0.9 * length - 4)); }

// Thickness of the groove across a side of `side` pixels.
static int groove_thickness(int side) {
  return std::max(static_cast<int>(std::trunc(0.2 * side)), 1);
}

SliderRect slider_groove(int width, int height, bool vertical) {
  // Integer halves: the groove's two edges sit t/2 either side of the
  // middle pixel, so an odd thickness loses its last pixel.
  if (vertical) {
    const int t = groove_thickness(width);
    return {width / 2 - t / 2, 2, width / 2 + t / 2, height - 2};
  }
  const int t = groove_thickness(height);
  return {2, height / 2 - t / 2, width - 2, height / 2 + t / 2};
}

SliderRect slider_handle(int width, int height, bool vertical, double value) {
  if (vertical) {
    const int p = static_cast<int>(std::trunc(slider_track(height) * value + 2));
    return {2, p, width - 2, static_cast<int>(std::trunc(0.1 * height + p))};
  }
  const int p = static_cast<int>(std::trunc(slider_track(width) * value + 2));
  return {p, 2, static_cast<int>(std::trunc(0.1 * width + p)), height - 2};
}

double slider_value_at(int width, int height, bool vertical, int x, int y) {
  // A slider a few pixels long has no room for the handle to travel.
  const int track = slider_track(vertical ? height : width);
  if (track <= 0) return 0.0;
  const double v =
      vertical ? 1.0 - static_cast<double>(y - 2) / track : static_cast<double>(x - 2) / track;
  return std::clamp(v, 0.0, 1.0);
}
