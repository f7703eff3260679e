// The arguments of `relumo-tool convert`, parsed.
#pragma once

#include <string>

#include "tool/arguments.h"
#include "writers/cropped_ptm_writer.h"

struct ConvertOptions {
  std::string input;
  std::string output;
  int format = 0;      // PtmFormat of the file written
  int family_pick = -1;  // "jpeg" 0, "jpegls" 1: `format` follows the map's family
  int quality = 90;    // JPEG formats only
  int near = 0;        // JPEG-LS formats only
  bool crop = false;   // with `region`: X, Y (left column, bottom row), W, H
  PtmRect region{0, 0, 0, 0};
};

// The command's arguments: one map, "-o OUT.ptm", "--format F", and
// "--quality Q" (jpeg-*: 1..100), "--near N" (jpegls-*: 0..127),
// "--crop X,Y,W,H" (W, H >= 1). An option the chosen format has no use for
// is a usage error rather than silently ignored, so that a script that
// asks for a quality it cannot get hears of it.
ConvertOptions parse_convert_options(ArgumentList& arguments);
