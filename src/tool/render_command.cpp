// relumo-tool render: one map relit into a PNG, PPM or TGA picture.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "render/light_state.h"
#include "tool/commands.h"
#include "tool/render_options.h"
#include "tool/tool_io.h"

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
    "  --size WxH     resample the map to W x H first (bilinear, edges clamped)\n";

namespace {

// The square of light positions the viewer reaches while extrapolating.
constexpr double max_light_coordinate = 3;
// Beyond 255 every lit byte saturates: no larger factor changes a picture.
constexpr double max_factor = 255;
constexpr int max_exponent = 1000;
// The Amp slider's range, g = 1 + 100 x^4 for x in 0..1.
constexpr double min_gain = 1;
constexpr double max_gain = 101;
constexpr int max_picture_side = 1 << 16;

double parse_within(const char* text, double lo, double hi, const char* what) {
  const double value = parse_number(text, what);
  if (value < lo || value > hi) {
    char range[64];
    std::snprintf(range, sizeof range, "%g..%g", lo, hi);
    throw UsageError(std::string(what) + " \"" + text + "\" is not within " + range);
  }
  return value;
}

PictureFormat picture_format_of(const std::string& output) {
  const std::string extension = file_extension(output.c_str());
  if (extension == "png") return PictureFormat::png;
  if (extension == "ppm") return PictureFormat::ppm;
  if (extension == "tga") return PictureFormat::tga;
  throw UsageError("the output " + output + " does not end in .png, .ppm or .tga");
}

}  // namespace

RelitLight parse_light(const char* text) {
  const std::vector<double> values = parse_number_list(text, 2, 3, "--light");
  for (int k = 0; k < 2; ++k) {
    if (values[k] < -max_light_coordinate || values[k] > max_light_coordinate) {
      throw UsageError(std::string("--light \"") + text +
                       "\" lies outside the square |u|, |v| <= 3");
    }
  }
  const double intensity = values.size() == 3 ? values[2] : 1.0;
  if (intensity < 0 || intensity > max_factor) {
    throw UsageError(std::string("--light \"") + text + "\" has an intensity outside 0..255");
  }
  return {static_cast<float>(values[0]), static_cast<float>(values[1]),
          static_cast<float>(intensity)};
}

RenderOptions parse_render_arguments(ArgumentList& arguments) {
  RenderOptions options;
  options.settings = default_relit_settings();
  std::vector<RelitLight> lights;
  bool output_given = false;
  while (!arguments.done()) {
    const char* argument = arguments.next();
    if (!arguments.is_option()) {
      if (!options.map.empty()) throw UsageError(std::string("a second map ") + argument);
      options.map = argument;
      if (options.map.empty()) throw UsageError("the map name is empty");
      continue;
    }
    if (arguments.common_option(argument)) continue;
    RelitSettings& settings = options.settings;
    if (std::strcmp(argument, "-o") == 0) {
      options.output = arguments.value();
      output_given = true;
    } else if (std::strcmp(argument, "--light") == 0) {
      if (static_cast<int>(lights.size()) == light_count) {
        throw UsageError("more than " + std::to_string(light_count) + " lights");
      }
      lights.push_back(parse_light(arguments.value()));
    } else if (std::strcmp(argument, "--mode") == 0) {
      settings.mode = static_cast<RelitMode>(parse_choice(
          arguments.value(), {"plain", "specular", "gain", "texture", "normals"}, "--mode"));
    } else if (std::strcmp(argument, "--kd") == 0) {
      settings.kd = static_cast<float>(parse_within(arguments.value(), 0, max_factor, "--kd"));
    } else if (std::strcmp(argument, "--ks") == 0) {
      settings.ks = static_cast<float>(parse_within(arguments.value(), 0, max_factor, "--ks"));
    } else if (std::strcmp(argument, "--exp") == 0) {
      settings.exponent = static_cast<int>(parse_integer(arguments.value(), 0, max_exponent, "--exp"));
    } else if (std::strcmp(argument, "--gain") == 0) {
      settings.gain = static_cast<float>(parse_within(arguments.value(), min_gain, max_gain, "--gain"));
    } else if (std::strcmp(argument, "--size") == 0) {
      const PictureSize size = parse_picture_size(arguments.value(), max_picture_side, "--size");
      settings.width = size.width;
      settings.height = size.height;
    } else {
      arguments.unknown_option();
    }
  }
  if (options.map.empty()) throw UsageError("no map given");
  if (!output_given || options.output.empty()) throw UsageError("no output given (-o FILE)");
  if (!lights.empty()) options.settings.lights = lights;
  options.picture_format = picture_format_of(options.output);
  check_output_is_not_input(options.map.c_str(), options.output.c_str());
  return options;
}

int run_render(ArgumentList& arguments) {
  const RenderOptions options = parse_render_arguments(arguments);
  Ptm* map = read_map(options.map.c_str());
  if (map == nullptr) return 1;
  const bool written = write_relit_picture(*map, options.settings, options.picture_format,
                                           options.output.c_str());
  free_ptm(map);
  if (!written) {
    report_file_error(options.output.c_str(), "no picture was written");
    return 1;
  }
  return 0;
}
