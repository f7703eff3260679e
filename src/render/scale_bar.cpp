#include "render/scale_bar.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

ScaleBarLength scale_bar_length(double pixels_per_mm, int picture_width) {
  const double longest_mm = picture_width / 5.0 / pixels_per_mm;
  // The decade at or below the longest length, then the largest of 1, 2,
  // 5 times it that fits.
  const double decade = std::pow(10.0, std::floor(std::log10(longest_mm)));
  double length = decade;
  for (double step : {2.0, 5.0}) {
    if (step * decade <= longest_mm * (1 + 1e-9)) length = step * decade;
  }
  return {length, length * pixels_per_mm};
}

std::string scale_bar_label(double millimetres) {
  char text[64];
  // %g with enough digits for 1, 2, 5 times any decade: 0.0005, 2000.
  std::snprintf(text, sizeof text, "%.6g mm", millimetres);
  return text;
}

namespace {

void fill_rectangle(RgbImage& picture, int x0, int y0, int x1, int y1, const std::uint8_t rgb[3]) {
  for (int y = std::max(0, y0); y < std::min(picture.height, y1); ++y) {
    for (int x = std::max(0, x0); x < std::min(picture.width, x1); ++x) {
      std::uint8_t* pixel = picture.pixels + 3 * (static_cast<std::size_t>(y) * picture.width + x);
      pixel[0] = rgb[0];
      pixel[1] = rgb[1];
      pixel[2] = rgb[2];
    }
  }
}

}  // namespace

bool draw_scale_bar(RgbImage& picture, double pixels_per_mm) {
  const ScaleBarLength length = scale_bar_length(pixels_per_mm, picture.width);
  const int bar = static_cast<int>(std::lround(length.pixels));
  const int side = std::min(picture.width, picture.height);
  const int margin = std::max(3, side / 40);
  const int thickness = std::max(2, side / 120);
  const int right = picture.width - 2 * margin;
  const int bottom = 2 * margin;  // rows count upward
  constexpr std::uint8_t plate[3] = {24, 24, 24};
  constexpr std::uint8_t white[3] = {255, 255, 255};
  fill_rectangle(picture, right - bar - margin, bottom - margin, right + margin,
                 bottom + thickness + margin, plate);
  fill_rectangle(picture, right - bar, bottom, right, bottom + thickness, white);
  return true;
}
