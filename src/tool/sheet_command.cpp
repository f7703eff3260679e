// relumo-tool sheet: a raking-light sheet for a condition report.
#include <cstring>
#include <string>
#include <vector>

#include "ptm/ptm.h"
#include "render/raking_sheet.h"
#include "tool/commands.h"
#include "tool/map_arguments.h"
#include "tool/progress_bar.h"
#include "tool/sheet_options.h"
#include "tool/tool_io.h"
#include "tool/view_options.h"

const char sheet_usage[] =
    "Usage: relumo-tool sheet MAP -o SHEET.png [--elevation DEG] [--azimuths N]\n"
    "                         [--size WxH] [--mode M ...] [--ppmm N | --dpi N]\n"
    "\n"
    "The map relit from N directions around it (default 8) at the elevation DEG\n"
    "above the object's plane (default 20): panel i lit from azimuth 360 i / N,\n"
    "0 from the top of the picture and clockwise, in a grid of ceil(sqrt(N))\n"
    "columns in reading order, each panel drawn 1:1 with its azimuth and\n"
    "elevation written below it.\n"
    "  --size WxH     each panel's size (default the map's), the map resampled\n"
    "                 once to it\n"
    "  --mode M, --kd K, --ks K, --exp N, --gain G   as for 'relumo-tool render'\n"
    "  --ppmm N, --dpi N  the map's scale, pixels per millimetre or per inch:\n"
    "                 every panel gets a scale bar and the PNG its resolution\n";

namespace {

double parse_elevation(const char* text) {
  const double value = parse_number(text, "--elevation");
  if (!(value >= 0 && value <= 90)) {
    throw UsageError(std::string("--elevation \"") + text + "\" is not within 0..90 degrees");
  }
  return value;
}

}  // namespace

SheetOptions parse_sheet_arguments(ArgumentList& arguments) {
  SheetOptions options;
  options.sheet.view = default_relit_settings();
  std::vector<std::string> mode_options;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* argument) {
    if (mode_option(arguments, argument, options.sheet.view, mode_options)) return true;
    if (scale_option(arguments, argument, options.scale)) return true;
    if (std::strcmp(argument, "--elevation") == 0) {
      options.sheet.elevation_degrees = parse_elevation(arguments.value());
    } else if (std::strcmp(argument, "--azimuths") == 0) {
      options.sheet.azimuth_count = static_cast<int>(
          parse_integer(arguments.value(), 1, max_sheet_azimuths, "--azimuths"));
    } else if (std::strcmp(argument, "--size") == 0) {
      const PictureSize size = parse_picture_size(arguments.value(), max_picture_side, "--size");
      options.sheet.view.width = size.width;
      options.sheet.view.height = size.height;
    } else {
      return false;
    }
    return true;
  });
  check_mode_options_apply(mode_options, options.sheet.view.mode);
  if (file_extension(options.output.c_str()) != "png") {
    throw UsageError("the output " + options.output + " does not end in .png");
  }
  check_scale_options(options.scale);
  options.sheet.pixels_per_mm = options.scale.pixels_per_mm;
  options.sheet.threads = arguments.threads();
  return options;
}

std::string sheet_view_text(const SheetOptions& options, int width, int height) {
  RenderView view{options.sheet.view, ScaleOptions{}};
  view.settings.lights.clear();
  // render's view of the mode and size, after the sheet's own options.
  std::string text = "sheet --elevation " +
                     shortest_text(static_cast<float>(options.sheet.elevation_degrees)) +
                     " --azimuths " + std::to_string(options.sheet.azimuth_count) + " " +
                     render_view_text(view, width, height);
  if (!options.scale.given.empty()) text += " " + options.scale.given;
  return text;
}

int run_sheet(ArgumentList& arguments) {
  SheetOptions options = parse_sheet_arguments(arguments);
  Ptm* map = read_map(options.map.c_str());
  if (map == nullptr) return 1;
  const bool sized = options.sheet.view.width > 0 && options.sheet.view.height > 0;
  const int width = sized ? options.sheet.view.width : map->width;
  const int height = sized ? options.sheet.view.height : map->height;
  ProgressBar bar("Relighting panels");
  options.sheet.progress = bar.callback();
  const bool written = write_raking_sheet(
      *map, options.sheet, options.output.c_str(),
      picture_notes(options.map, sheet_view_text(options, width, height), options.scale,
                    static_cast<double>(width) / map->width,
                    static_cast<double>(height) / map->height));
  bar.finish();
  free_ptm(map);
  return written ? 0 : 1;
}
