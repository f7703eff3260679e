// The entropy of relit pictures, and the sweep that relights a map for a
// 21 x 21 grid of light directions and writes every picture with a table
// of their entropies.
#pragma once

#include <functional>
#include <string>

#include "common/rgb_image.h"

// The entropy of the picture's grey levels g = trunc(0.3 R + 0.59 G + 0.11
// B): -sum of p log10 p over the levels that occur, p the share of the
// pixels at a level. 0 for a picture of one grey level (or no pixels).
double image_entropy(const RgbImage& image);

// The grid: column c and row r (0 .. 20) stand for the light u = 0.1 c - 1,
// v = 0.1 r - 1, so (0, 0) is column and row 10.
constexpr int entropy_grid_size = 21;
float entropy_grid_position(int index);

// Draws the map lit from (u, v) into `image`, at the image's own size.
using RenderLightFn = std::function<void(float u, float v, RgbImage& image)>;

// The sweep, rows r outer and columns c inner. Prints "Writing Entropy
// file to <table>" and writes the table <base cut at its last '.'>.ent:
// "21 21", then one line per row of 21 entropies, each "%f " (also printed
// on standard output). A grid light outside the unit disc (u^2 + v^2 > 1,
// decided on the exact grid values) gets a black picture and entropy 0;
// any other is drawn by `render_light` into `image`. Each picture is
// written to <cut base>.<c>.<r>.ppm after "\nwriting ppm file <name>".
// When the table cannot be made, "Unable to open entropy file for
// writing" on standard error and nothing is written; a picture that cannot
// be written is reported by the PPM writer and the sweep goes on; a table
// whose writing fails is reported and removed. Returns whether the table
// and every picture were written.
bool entropy_sweep(const std::string& base_name, RgbImage& image,
                   const RenderLightFn& render_light);
