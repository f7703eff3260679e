// The arguments of `relumo-tool sheet`.
#pragma once

#include <string>

#include "render/raking_sheet.h"
#include "tool/arguments.h"
#include "tool/picture_options.h"

struct SheetOptions {
  std::string map;
  std::string output;
  RakingSheet sheet;
  ScaleOptions scale;
};

// The most panels a sheet takes.
inline constexpr int max_sheet_azimuths = 360;

// A usage error for an unknown option, a missing or second map, no -o, an
// output other than .png, and values out of range.
SheetOptions parse_sheet_arguments(ArgumentList& arguments);

// The options that remake the sheet of a map of `width` x `height`, for
// its notes.
std::string sheet_view_text(const SheetOptions& options, int width, int height);
