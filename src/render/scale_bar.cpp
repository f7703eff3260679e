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

namespace {

// Where the parts of the bar lie in a picture, in its top-down pixels.
struct ScaleBarLayout {
  std::string label;
  int text_size;
  int bar;
  int thickness;
  int plate_left;
  int plate_top;
  int plate_width;
  int plate_height;
  int label_left;
  int baseline;
  int bar_left;
  int bar_top;
};

ScaleBarLayout lay_out_scale_bar(TextFont& font, int width, int height, double pixels_per_mm) {
  ScaleBarLayout layout;
  const ScaleBarLength length = scale_bar_length(pixels_per_mm, width);
  layout.bar = std::max(1, static_cast<int>(std::lround(length.pixels)));
  const int side = std::min(width, height);
  // Sizes follow the picture, with a floor that keeps the label readable.
  layout.text_size = std::max(11, side / 28);
  const int pad = std::max(2, layout.text_size / 3);
  layout.thickness = std::max(2, layout.text_size / 4);
  layout.label = scale_bar_label(length.millimetres);
  const TextExtent extent = measure_text(font, layout.label, layout.text_size);
  layout.plate_width = std::max(layout.bar, extent.width) + 2 * pad;
  layout.plate_height = pad + extent.ascent + extent.descent + pad / 2 + layout.thickness + pad;
  // The plate's corner a pad from the picture's lower right corner.
  layout.plate_left = width - pad - layout.plate_width;
  layout.plate_top = height - pad - layout.plate_height;
  const int centre = layout.plate_left + layout.plate_width / 2;
  layout.label_left = centre - extent.width / 2;
  layout.baseline = layout.plate_top + pad + extent.ascent;
  layout.bar_left = centre - layout.bar / 2;
  layout.bar_top = layout.baseline + extent.descent + pad / 2;
  return layout;
}

// Draws the laid-out bar into `image`, whose top-left pixel is pixel
// (left, top) of the picture the layout is for.
void draw_laid_out_bar(TextFont& font, const ScaleBarLayout& layout, RgbImage& image, int left,
                       int top) {
  constexpr DrawColor plate{24, 24, 24};
  constexpr DrawColor white{255, 255, 255};
  fill_rectangle(image, layout.plate_left - left, layout.plate_top - top, layout.plate_width,
                 layout.plate_height, plate);
  draw_text(font, image, layout.label_left - left, layout.baseline - top, layout.label,
            layout.text_size, white);
  fill_rectangle(image, layout.bar_left - left, layout.bar_top - top, layout.bar, layout.thickness,
                 white);
}

}  // namespace

void draw_scale_bar(TextFont& font, RgbImage& picture, double pixels_per_mm) {
  const ScaleBarLayout layout =
      lay_out_scale_bar(font, picture.width, picture.height, pixels_per_mm);
  draw_laid_out_bar(font, layout, picture, 0, 0);
}

RgbImage* scale_bar_plate(TextFont& font, int width, int height, double pixels_per_mm, int& left,
                          int& top) {
  const ScaleBarLayout layout = lay_out_scale_bar(font, width, height, pixels_per_mm);
  left = layout.plate_left;
  top = layout.plate_top;
  RgbImage* plate = new_rgb_image(layout.plate_width, layout.plate_height);
  draw_laid_out_bar(font, layout, *plate, left, top);
  return plate;
}
