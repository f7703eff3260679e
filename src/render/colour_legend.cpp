#include "render/colour_legend.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "render/shape_drawing.h"

RgbImage* with_colour_legend(const RgbImage& picture, const ColourLegend& legend,
                             TextFont& font) {
  const int text_size = std::clamp(picture.width / 32, 11, 64);
  const int pad = std::max(3, text_size / 2);
  const int bar_height = text_size;
  const TextExtent line = measure_text(font, "0", text_size);
  const int line_height = line.ascent + line.descent;
  const int band = pad + bar_height + pad / 2 + 2 * line_height + pad / 2 + pad;
  RgbImage* out = new_rgb_image(picture.width, picture.height + band);
  // The picture's rows are bottom-up: the band is the first rows in
  // memory, the picture the last.
  const std::size_t row_bytes = static_cast<std::size_t>(picture.width) * 3;
  std::memset(out->pixels, 255, row_bytes * static_cast<std::size_t>(band));
  std::memcpy(out->pixels + row_bytes * static_cast<std::size_t>(band), picture.pixels,
              row_bytes * static_cast<std::size_t>(picture.height));

  const int left = pad;
  const int width = std::max(1, picture.width - 2 * pad);
  const int bar_top = picture.height + pad;
  for (int x = 0; x < width; ++x) {
    std::uint8_t rgb[3];
    legend.colour(width == 1 ? 0.5 : static_cast<double>(x) / (width - 1), rgb);
    fill_rectangle(*out, left + x, bar_top, 1, bar_height, DrawColor{rgb[0], rgb[1], rgb[2]});
  }
  constexpr DrawColor ink{32, 32, 32};
  const int values = bar_top + bar_height + pad / 2 + line.ascent;
  draw_text(font, *out, left, values, legend.low, text_size, ink);
  const int high_width = measure_text(font, legend.high, text_size).width;
  draw_text(font, *out, left + width - high_width, values, legend.high, text_size, ink);
  if (!legend.middle.empty()) {
    const int middle_width = measure_text(font, legend.middle, text_size).width;
    draw_text(font, *out, left + (width - middle_width) / 2, values, legend.middle, text_size,
              ink);
  }
  const int caption_width = measure_text(font, legend.caption, text_size).width;
  draw_text(font, *out, left + (width - caption_width) / 2, values + line_height + pad / 2,
            legend.caption, text_size, ink);
  return out;
}

std::string legend_value(double value, const char* unit) {
  if (value == 0) return "0";
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.3g", std::fabs(value));
  // U+2212 MINUS SIGN in UTF-8, as printed figures write it.
  return std::string(value < 0 ? "\xE2\x88\x92" : "+") + digits + " " + unit;
}
