#include "tool/picture_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/file_names.h"
#include "common/version.h"

namespace {

constexpr double mm_per_inch = 25.4;
// pHYs counts whole pixels per metre, at least 1 and at most 2^32 - 1.
constexpr double min_pixels_per_mm = 0.001;
constexpr double max_pixels_per_mm = 1e6;

double parse_scale(const char* text, double per_mm, const char* what) {
  const double value = parse_number(text, what);
  const double pixels_per_mm = value * per_mm;
  if (!(pixels_per_mm >= min_pixels_per_mm && pixels_per_mm <= max_pixels_per_mm)) {
    throw UsageError(std::string(what) + " \"" + text + "\" is not a scale between " +
                     (per_mm == 1 ? "0.001 and 1000000" : "0.0254 and 25400000"));
  }
  return pixels_per_mm;
}

std::uint32_t pixels_per_metre(double pixels_per_mm) {
  const double value = std::round(pixels_per_mm * 1000);
  return value < 1 ? 1 : value > 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(value);
}

}  // namespace

bool scale_option(ArgumentList& arguments, const char* option, ScaleOptions& scale,
                  bool bar_applies) {
  const bool ppmm = std::strcmp(option, "--ppmm") == 0;
  const bool dpi = std::strcmp(option, "--dpi") == 0;
  if (ppmm || dpi) {
    if (scale.pixels_per_mm > 0) throw UsageError("the scale is given twice (--ppmm or --dpi once)");
    const char* text = arguments.value();
    scale.pixels_per_mm = parse_scale(text, ppmm ? 1 : 1 / mm_per_inch, option);
    scale.given = std::string(option) + " " + text;
    return true;
  }
  if (std::strcmp(option, "--scale-bar") == 0) {
    if (!bar_applies) {
      throw UsageError("--scale-bar does not apply here: the picture holds data, not a view");
    }
    scale.scale_bar = true;
    return true;
  }
  return false;
}

void check_scale_options(const ScaleOptions& scale) {
  if (scale.scale_bar && !(scale.pixels_per_mm > 0)) {
    throw UsageError("--scale-bar needs the map's scale (--ppmm or --dpi)");
  }
}

PngNotes picture_notes(const std::string& map_path, const std::string& view,
                       const ScaleOptions& scale, double width_ratio, double height_ratio) {
  PngNotes notes;
  if (scale.pixels_per_mm > 0) {
    notes.pixels_per_metre_x = pixels_per_metre(scale.pixels_per_mm * width_ratio);
    notes.pixels_per_metre_y = pixels_per_metre(scale.pixels_per_mm * height_ratio);
  }
  notes.texts.push_back({software_note, std::string("Relumo ") + relumo_version});
  notes.texts.push_back({map_note, map_path.substr(file_name_start(map_path))});
  notes.texts.push_back({view_note, view});
  return notes;
}

std::string shortest_text(float value) {
  // to_chars without a format gives the shortest text that reads back as
  // the same float, plain or with an exponent, whichever is shorter.
  char text[32];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}
