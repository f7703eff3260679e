// The arguments of `relumo-tool render`.
#pragma once

#include <string>

#include "render/relit_picture.h"
#include "tool/arguments.h"
#include "tool/picture_options.h"

struct RenderOptions {
  std::string map;
  std::string output;
  PictureFormat picture_format = PictureFormat::png;  // from the output's extension
  RelitSettings settings;  // the viewer's defaults where no option is given
  ScaleOptions scale;
  // A picture whose recorded view replaces the options (--from), or empty.
  std::string from;
};

// Parses render's arguments. A usage error (UsageError) for an unknown
// option, a missing or second map, no -o, an output other than .png, .ppm
// or .tga, the output naming the input, a light outside |u|, |v| <= 3 or
// with a negative intensity, more lights than the viewer sums, any value
// out of its range, an option the chosen mode has no use for, and a view
// option beside --from.
RenderOptions parse_render_arguments(ArgumentList& arguments);
