// Shapes for the pictures the program makes (marks, plots, frames),
// anti-aliased: each pixel takes the colour by the share of it the shape
// covers, measured from the pixel's centre. Positions are continuous, in
// pixels from the picture's top-left corner, x to the right and y down, so
// pixel (i, j) spans [i, i + 1] x [j, j + 1]; what falls outside the
// picture is clipped.
#pragma once

#include "common/rgb_image.h"
#include "render/draw_color.h"

// Every pixel whose centre lies in [left, left + width) x [top, top + height).
void fill_rectangle(RgbImage& image, int left, int top, int width, int height, DrawColor color);

// A disc of `radius` around (x, y).
void fill_disc(RgbImage& image, double x, double y, double radius, DrawColor color);

// A circle of `radius` around (x, y), its stroke `width` pixels wide.
void draw_ring(RgbImage& image, double x, double y, double radius, double width, DrawColor color);

// A straight stroke `width` pixels wide from (x0, y0) to (x1, y1), with
// square-cut ends.
void draw_line(RgbImage& image, double x0, double y0, double x1, double y1, double width,
               DrawColor color);
