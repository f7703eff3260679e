// The options of every relumo-tool command that writes a picture: the
// scale of the map (--ppmm or --dpi) and the scale bar; and the notes each
// picture carries to say how it was made.
#pragma once

#include <string>

#include "imageio/png_image.h"
#include "tool/arguments.h"

struct ScaleOptions {
  double pixels_per_mm = 0;  // 0: the scale is not known
  bool scale_bar = false;
  // The scale as it was given ("--dpi 600"), for the picture's notes.
  std::string given;
};

// --ppmm N (map pixels per millimetre), --dpi N (per inch) and, unless
// `bar_applies` is false, --scale-bar; true when `option` was one of them.
// A second scale or a value out of range is a usage error, and so is
// --scale-bar where it does not apply.
bool scale_option(ArgumentList& arguments, const char* option, ScaleOptions& scale,
                  bool bar_applies = true);

// After the arguments: --scale-bar without a scale is a usage error.
void check_scale_options(const ScaleOptions& scale);

// The notes of a picture made from the map at `map_path`, `width_ratio`
// and `height_ratio` picture pixels per map pixel: Software (Relumo and
// its version), Relumo map (the map's file name without its folders),
// Relumo view (`view`, the arguments that remake the picture) and the
// physical resolution when the scale is known.
PngNotes picture_notes(const std::string& map_path, const std::string& view,
                       const ScaleOptions& scale, double width_ratio = 1, double height_ratio = 1);

// The keys of those notes.
inline constexpr const char* software_note = "Software";
inline constexpr const char* map_note = "Relumo map";
inline constexpr const char* view_note = "Relumo view";

// A number as the shortest text that reads back as the same float
// ("0.3", not "0.30000001"), for views that remake the same pixels.
std::string shortest_text(float value);
