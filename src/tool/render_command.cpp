// relumo-tool render: one map relit into a PNG, PPM or TGA picture.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imageio/png_image.h"
#include "render/relit_figure.h"
#include "tool/commands.h"
#include "tool/map_arguments.h"
#include "tool/render_options.h"
#include "tool/tool_io.h"
#include "tool/view_options.h"

const char render_usage[] =
    "Usage: relumo-tool render MAP -o OUT.png|OUT.ppm|OUT.tga [options]\n"
    "\n"
    "Relights MAP into a picture with the viewer's arithmetic. With no options\n"
    "the picture is the viewer's full-size screenshot ('t') of the map just\n"
    "loaded: one light at (0, 0), plain rendering.\n"
    "\n"
    "  -o FILE        the picture: .png, .ppm or .tga (as the screenshot writes it)\n"
    "  --light U,V[,I]  a light at the projected direction (U, V), |U|, |V| <= 3,\n"
    "                 with intensity I (0..255, default 1). Up to nine; the\n"
    "                 lights are summed, each byte saturating, as the viewer sums them\n"
    "  --mode M       plain (default), specular, gain, texture (PTM versus texture\n"
    "                 mapping: the lower half the head-on texture), normals (the\n"
    "                 normal field as colours; the lights play no part)\n"
    "  --kd K         specular: weight of the evaluated colour (0..255, default 0.4)\n"
    "  --ks K         specular: weight of the highlight (0..255, default 1)\n"
    "  --exp N        specular: highlight exponent (0..1000, default 60)\n"
    "  --gain G       gain: the diffuse gain (1..101, default 1.8, as the mode starts)\n"
    "  --size WxH     resample the map to W x H first (bilinear, edges clamped)\n"
    "  --ppmm N, --dpi N  the map's scale, pixels per millimetre or per inch: the\n"
    "                 PNG carries its physical resolution\n"
    "  --scale-bar    with a scale: a bar of a round length in a corner\n"
    "  --from FIG.png take the view (lights, mode, size, scale) from a picture this\n"
    "                 command wrote, to remake it: every PNG it writes notes its\n"
    "                 map (\"Relumo map\") and these options (\"Relumo view\")\n"
    "\n"
    "An option the mode has no use for (--kd, --ks or --exp without specular,\n"
    "--gain without gain, --light with normals) is a usage error.\n";

namespace {

PictureFormat picture_format_of(const std::string& output) {
  const std::string extension = file_extension(output.c_str());
  if (extension == "png") return PictureFormat::png;
  if (extension == "ppm") return PictureFormat::ppm;
  if (extension == "tga") return PictureFormat::tga;
  throw UsageError("the output " + output + " does not end in .png, .ppm or .tga");
}

}  // namespace

RenderOptions parse_render_arguments(ArgumentList& arguments) {
  RenderOptions options;
  RenderViewParser view;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* option) {
    if (std::strcmp(option, "--from") != 0) return view.option(arguments, option);
    options.from = arguments.value();
    if (options.from.empty()) throw UsageError("--from needs a picture");
    return true;
  });
  if (!options.from.empty() && view.any) {
    throw UsageError("--from takes the whole view from the picture: no --light, --mode, "
                     "--kd, --ks, --exp, --gain, --size or scale beside it");
  }
  const RenderView chosen = view.finish();
  options.settings = chosen.settings;
  options.scale = chosen.scale;
  options.picture_format = picture_format_of(options.output);
  if (!options.from.empty()) check_output_is_not_input(options.from.c_str(), options.output.c_str());
  return options;
}

namespace {

// The view recorded in the picture at `path`; false after a message
// naming it.
bool read_recorded_view(const std::string& path, RenderView& view) {
  PngNotes notes;
  if (!read_png_notes(path.c_str(), notes)) {
    report_file_error(path.c_str(), "the picture cannot be read");
    return false;
  }
  const std::string* text = find_png_text(notes, view_note);
  if (text == nullptr) {
    report_file_error(path.c_str(), "the picture records no view (\"Relumo view\")");
    return false;
  }
  try {
    view = parse_render_view(*text);
  } catch (const UsageError& error) {
    report_file_error(path.c_str(),
                      ("its view \"" + *text + "\" is not one render can remake: " + error.what())
                          .c_str());
    return false;
  }
  return true;
}

}  // namespace

int run_render(ArgumentList& arguments) {
  const RenderOptions options = parse_render_arguments(arguments);
  RenderView view{options.settings, options.scale};
  if (!options.from.empty() && !read_recorded_view(options.from, view)) return 1;
  Ptm* map = read_map(options.map.c_str());
  if (map == nullptr) return 1;
  const bool sized = view.settings.width > 0 && view.settings.height > 0;
  const int width = sized ? view.settings.width : map->width;
  const int height = sized ? view.settings.height : map->height;
  FigureExtras extras;
  extras.pixels_per_mm = view.scale.pixels_per_mm * width / map->width;
  extras.scale_bar = view.scale.scale_bar;
  extras.notes = picture_notes(options.map, render_view_text(view, width, height), view.scale,
                               static_cast<double>(width) / map->width,
                               static_cast<double>(height) / map->height);
  const bool written = write_relit_figure(*map, view.settings, options.picture_format,
                                          options.output.c_str(), extras);
  free_ptm(map);
  if (!written) {
    report_file_error(options.output.c_str(), "no picture was written");
    return 1;
  }
  return 0;
}
