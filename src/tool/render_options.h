// The arguments of `relumo-tool render`.
#pragma once

#include <string>

#include "render/relit_picture.h"
#include "tool/arguments.h"

struct RenderOptions {
  std::string map;
  std::string output;
  PictureFormat picture_format = PictureFormat::png;  // from the output's extension
  RelitSettings settings;  // the viewer's defaults where no option is given
};

// A light "U,V" or "U,V,I" as --light gives it: |U|, |V| <= 3 (the square
// the viewer reaches while extrapolating), the intensity I in 0..255
// (default 1). A usage error otherwise.
RelitLight parse_light(const char* text);

// Parses render's arguments. A usage error (UsageError) for an unknown
// option, a missing or second map, no -o, an output other than .png, .ppm
// or .tga, the output naming the input, a light outside |u|, |v| <= 3 or
// with a negative intensity, more lights than the viewer sums, and any
// value out of its range.
RenderOptions parse_render_arguments(ArgumentList& arguments);
