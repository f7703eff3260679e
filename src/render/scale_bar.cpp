#include "render/scale_bar.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "render/shape_drawing.h"

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

bool draw_scale_bar(RgbImage& picture, double pixels_per_mm) {
  TextFont* font = open_text_font();
  if (font == nullptr) return false;
  draw_scale_bar(*font, picture, pixels_per_mm);
  close_text_font(font);
  return true;
}

void draw_scale_bar(TextFont& font, RgbImage& picture, double pixels_per_mm) {
  const ScaleBarLength length = scale_bar_length(pixels_per_mm, picture.width);
  const int bar = std::max(1, static_cast<int>(std::lround(length.pixels)));
  const int side = std::min(picture.width, picture.height);
  // Sizes follow the picture, with a floor that keeps the label readable.
  const int text_size = std::max(11, side / 28);
  const int pad = std::max(2, text_size / 3);
  const int thickness = std::max(2, text_size / 4);
  const std::string label = scale_bar_label(length.millimetres);
  const TextExtent extent = measure_text(font, label, text_size);
  const int plate_width = std::max(bar, extent.width) + 2 * pad;
  const int plate_height = pad + extent.ascent + extent.descent + pad / 2 + thickness + pad;
  // In top-down coordinates: the plate's corner a pad from the picture's
  // lower right corner.
  const int plate_left = picture.width - pad - plate_width;
  const int plate_top = picture.height - pad - plate_height;
  constexpr DrawColor plate{24, 24, 24};
  constexpr DrawColor white{255, 255, 255};
  fill_rectangle(picture, plate_left, plate_top, plate_width, plate_height, plate);
  const int centre = plate_left + plate_width / 2;
  const int baseline = plate_top + pad + extent.ascent;
  draw_text(font, picture, centre - extent.width / 2, baseline, label, text_size, white);
  fill_rectangle(picture, centre - bar / 2, baseline + extent.descent + pad / 2, bar, thickness,
                 white);
}
