// The scale bar of a figure: a bar of a round length (1, 2 or 5 times a
// power of ten millimetres) with its length written above it, in the
// lower right corner on a dark plate so that it reads on any surface.
#pragma once

#include <string>

#include "common/rgb_image.h"
#include "render/text_drawing.h"

struct ScaleBarLength {
  double millimetres;
  double pixels;
};

// The round length whose bar is the longest not above a fifth of
// `picture_width` pixels, at `pixels_per_mm` picture pixels per millimetre.
ScaleBarLength scale_bar_length(double pixels_per_mm, int picture_width);

// "5 mm", "0.2 mm", "20 mm": the length as written on the bar.
std::string scale_bar_label(double millimetres);

// Draws the bar into the picture's lower right corner, its sizes from the
// picture's. False, after a message, when the font cannot be opened.
bool draw_scale_bar(RgbImage& picture, double pixels_per_mm);

// The same with a font already open.
void draw_scale_bar(TextFont& font, RgbImage& picture, double pixels_per_mm);

// The bar of a width x height picture on its plate alone, for a picture
// never whole in memory: the plate is opaque, so laid over the picture with
// its top-left corner at (left, top) (top-down pixels, set here) it gives
// what draw_scale_bar draws. The caller frees it.
RgbImage* scale_bar_plate(TextFont& font, int width, int height, double pixels_per_mm, int& left,
                          int& top);
