// Text in the pictures the program makes (labels, numbers, legends),
// drawn with FreeType from the DejaVu Sans font of Debian's
// fonts-dejavu-core package, anti-aliased.
//
// Positions are in the picture's pixels counted from its top-left corner,
// x to the right and y down, as an image editor shows them; the RgbImage
// itself keeps its rows bottom-up, which the drawing takes care of.
#pragma once

#include <string_view>

#include "common/rgb_image.h"
#include "render/draw_color.h"

// An open font face. FreeType's faces are not shared between threads: each
// thread that draws opens its own.
struct TextFont;

// Where fonts-dejavu-core installs DejaVu Sans on Debian, and where other
// distributions put it; the first that opens is used.
extern const char* const text_font_paths[];
extern const int text_font_path_count;

// Opens DejaVu Sans from the first of text_font_paths that holds it. Null
// after a message on standard output naming the package and the places
// looked at.
TextFont* open_text_font();

// Opens the TrueType or OpenType font at `path`; null after a message
// naming it when FreeType cannot read it.
TextFont* open_text_font_file(const char* path);

// Null allowed.
void close_text_font(TextFont* font);

struct TextExtent {
  int width;    // from the pen's start to its end: the advances, kerned
  int ascent;   // the font's ascender above the baseline at this size
  int descent;  // its descender below the baseline, positive
};

// The extent of `utf8` set at `pixel_size` (the em square's height in
// pixels, 1..1000). Bytes that are not UTF-8 count as U+FFFD; characters
// the font lacks take the width of its missing-glyph box.
TextExtent measure_text(TextFont& font, std::string_view utf8, int pixel_size);

// Draws `utf8` at `pixel_size` with the left end of its baseline at
// (x, baseline), blending `color` over the picture by each pixel's glyph
// coverage. Whatever falls outside the picture is clipped.
void draw_text(TextFont& font, RgbImage& image, int x, int baseline, std::string_view utf8,
               int pixel_size, DrawColor color);
