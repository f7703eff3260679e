#include "tool/view_options.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "render/lights.h"

namespace {

// The square of light positions the viewer reaches while extrapolating.
constexpr double max_light_coordinate = 3;
// Beyond 255 every lit byte saturates: no larger factor changes a picture.
constexpr double max_factor = 255;
constexpr int max_exponent = 1000;
// The Amp slider's range, g = 1 + 100 x^4 for x in 0..1.
constexpr double min_gain = 1;
constexpr double max_gain = 101;

const char* const mode_names[] = {"plain", "specular", "gain", "texture", "normals"};

double parse_within(const char* text, double lo, double hi, const char* what) {
  const double value = parse_number(text, what);
  if (value < lo || value > hi) {
    char range[64];
    std::snprintf(range, sizeof range, "%g..%g", lo, hi);
    throw UsageError(std::string(what) + " \"" + text + "\" is not within " + range);
  }
  return value;
}

}  // namespace

bool mode_option(ArgumentList& arguments, const char* option, RelitSettings& settings,
                 std::vector<std::string>& given) {
  if (std::strcmp(option, "--mode") == 0) {
    settings.mode = static_cast<RelitMode>(parse_choice(
        arguments.value(), {mode_names[0], mode_names[1], mode_names[2], mode_names[3],
                            mode_names[4]},
        "--mode"));
  } else if (std::strcmp(option, "--kd") == 0) {
    settings.kd = static_cast<float>(parse_within(arguments.value(), 0, max_factor, "--kd"));
  } else if (std::strcmp(option, "--ks") == 0) {
    settings.ks = static_cast<float>(parse_within(arguments.value(), 0, max_factor, "--ks"));
  } else if (std::strcmp(option, "--exp") == 0) {
    settings.exponent =
        static_cast<int>(parse_integer(arguments.value(), 0, max_exponent, "--exp"));
  } else if (std::strcmp(option, "--gain") == 0) {
    settings.gain =
        static_cast<float>(parse_within(arguments.value(), min_gain, max_gain, "--gain"));
  } else {
    return false;
  }
  given.emplace_back(option);
  return true;
}

void check_mode_options_apply(const std::vector<std::string>& given, RelitMode mode) {
  for (const std::string& option : given) {
    const bool specular = option == "--kd" || option == "--ks" || option == "--exp";
    if (specular && mode != RelitMode::specular) {
      throw UsageError(option + " applies to --mode specular only");
    }
    if (option == "--gain" && mode != RelitMode::gain) {
      throw UsageError("--gain applies to --mode gain only");
    }
    if (option == "--light" && mode == RelitMode::normals) {
      throw UsageError("--light does not apply to --mode normals (the lights play no part)");
    }
  }
}

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

std::string render_view_text(const RenderView& view, int width, int height) {
  const RelitSettings& s = view.settings;
  std::string text;
  // The normal field is the same under any light.
  for (const RelitLight& light : s.mode == RelitMode::normals ? std::vector<RelitLight>{} : s.lights) {
    text += "--light " + shortest_text(light.u) + "," + shortest_text(light.v) + "," +
            shortest_text(light.intensity) + " ";
  }
  text += std::string("--mode ") + mode_names[static_cast<int>(s.mode)];
  if (s.mode == RelitMode::specular) {
    text += " --kd " + shortest_text(s.kd) + " --ks " + shortest_text(s.ks) + " --exp " +
            std::to_string(s.exponent);
  } else if (s.mode == RelitMode::gain) {
    text += " --gain " + shortest_text(s.gain);
  }
  text += " --size " + std::to_string(width) + "x" + std::to_string(height);
  if (!view.scale.given.empty()) text += " " + view.scale.given;
  if (view.scale.scale_bar) text += " --scale-bar";
  return text;
}

RenderViewParser::RenderViewParser() { view.settings = default_relit_settings(); }

bool RenderViewParser::option(ArgumentList& arguments, const char* option) {
  if (std::strcmp(option, "--light") == 0) {
    if (static_cast<int>(lights.size()) == light_count) {
      throw UsageError("more than " + std::to_string(light_count) + " lights");
    }
    lights.push_back(parse_light(arguments.value()));
    given.emplace_back(option);
  } else if (std::strcmp(option, "--size") == 0) {
    const PictureSize size = parse_picture_size(arguments.value(), max_picture_side, "--size");
    view.settings.width = size.width;
    view.settings.height = size.height;
  } else if (!mode_option(arguments, option, view.settings, given) &&
             !scale_option(arguments, option, view.scale)) {
    return false;
  }
  any = true;
  return true;
}

RenderView RenderViewParser::finish() {
  check_mode_options_apply(given, view.settings.mode);
  if (!lights.empty()) view.settings.lights = lights;
  check_scale_options(view.scale);
  return view;
}

RenderView parse_render_view(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find(' ', at);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    if (stop > at) words.push_back(text.substr(at, stop - at));
    at = stop + 1;
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  ArgumentList arguments(static_cast<int>(argv.size()), argv.data(), 0);
  RenderViewParser parser;
  while (!arguments.done()) {
    const char* word = arguments.next();
    if (!arguments.is_option()) throw UsageError(std::string("\"") + word + "\" is not an option");
    if (!parser.option(arguments, word)) {
      throw UsageError(std::string("render takes no option ") + word + " from a picture");
    }
  }
  return parser.finish();
}
