#include "render/value_figure.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

#include "render/scale_bar.h"
#include "render/text_drawing.h"

bool write_value_figure(const float* values, int width, int height, const ValueFigure& figure,
                        const char* path, const PngNotes& notes) {
  TextFont* font = open_text_font();
  if (font == nullptr) {
    std::fprintf(stderr, "Can't write PNG file %s: no font for its legend\n", path);
    return false;
  }
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  RgbImage* picture = new_rgb_image(width, height);
  for (std::size_t i = 0; i < pixels; ++i) {
    std::uint8_t* rgb = picture->pixels + 3 * i;
    if (std::isfinite(values[i])) {
      figure.colour(values[i], rgb);
    } else {
      rgb[0] = rgb[1] = rgb[2] = 0;
    }
  }
  if (figure.scale_bar && figure.pixels_per_mm > 0) {
    draw_scale_bar(*font, *picture, figure.pixels_per_mm);
  }
  RgbImage* framed = with_colour_legend(*picture, figure.legend, *font);
  close_text_font(font);
  free_rgb_image(picture);
  const bool written = write_png_rgb(*framed, path, notes);
  free_rgb_image(framed);
  return written;
}
