#include "tool/relief_options.h"

#include <cstring>
#include <vector>

#include "tool/map_arguments.h"
#include "tool/tool_io.h"

namespace {

// The output's format from its extension, one of `extensions`.
int output_format(const std::string& output, const std::vector<const char*>& extensions) {
  const std::string extension = file_extension(output.c_str());
  for (std::size_t i = 0; i < extensions.size(); ++i) {
    if (extension == extensions[i]) return static_cast<int>(i);
  }
  std::string list;
  for (std::size_t i = 0; i < extensions.size(); ++i) {
    list += (i == 0 ? "." : ", .") + std::string(extensions[i]);
  }
  throw UsageError("the output " + output + " does not end in " + list);
}

// What depth and mesh share: --method, --camera and --detrend.
struct DepthChoices {
  DepthMethod method = DepthMethod::poisson;
  bool method_given = false;
  HeightTrend trend = HeightTrend::plane;
  bool trend_given = false;
  std::string camera;
};

bool depth_option(ArgumentList& arguments, const char* option, DepthChoices& choices) {
  if (std::strcmp(option, "--method") == 0) {
    choices.method = parse_choice(arguments.value(), {"rings", "poisson"}, "--method") == 0
                         ? DepthMethod::rings
                         : DepthMethod::poisson;
    choices.method_given = true;
    return true;
  }
  if (std::strcmp(option, "--camera") == 0) {
    choices.camera = arguments.value();
    if (choices.camera.empty()) throw UsageError("--camera needs a file name");
    return true;
  }
  if (std::strcmp(option, "--detrend") == 0) {
    choices.trend = static_cast<HeightTrend>(
        parse_choice(arguments.value(), {"none", "plane", "quadric"}, "--detrend"));
    choices.trend_given = true;
    return true;
  }
  return false;
}

// The settings of the choices; the rings depth is the viewer's and takes
// no trend.
DepthSettings depth_settings(const DepthChoices& choices, int threads) {
  if (choices.method == DepthMethod::rings && choices.trend_given) {
    throw UsageError("--detrend applies to the poisson method only: the rings depth is the "
                     "viewer's reconstruction");
  }
  DepthSettings settings;
  settings.method = choices.method;
  settings.trend = choices.method == DepthMethod::rings ? HeightTrend::none : choices.trend;
  settings.threads = threads;
  return settings;
}

const char* trend_name(HeightTrend trend) {
  switch (trend) {
    case HeightTrend::none:
      return "none";
    case HeightTrend::plane:
      return "plane";
    case HeightTrend::quadric:
      return "quadric";
  }
  return "";
}

double parse_sigma(const char* text) {
  const double sigma = parse_number(text, "--sigma");
  if (sigma < 0 || sigma > largest_sigma) {
    throw UsageError(std::string("--sigma \"") + text + "\" is not within 0..1000 pixels");
  }
  return sigma;
}

// " --ppmm 10 --scale-bar" for a view, or "".
std::string scale_view(const ScaleOptions& scale) {
  std::string view;
  if (!scale.given.empty()) view += " " + scale.given;
  if (scale.scale_bar) view += " --scale-bar";
  return view;
}

}  // namespace

NormalsOptions parse_normals_arguments(ArgumentList& arguments) {
  NormalsOptions options;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* option) {
    return scale_option(arguments, option, options.scale, false);
  });
  options.format =
      static_cast<NormalFileFormat>(output_format(options.output, {"png", "ppm", "pfm"}));
  return options;
}

DepthOptions parse_depth_arguments(ArgumentList& arguments) {
  DepthOptions options;
  DepthChoices choices;
  bool detail = false;
  bool sigma_given = false;
  bool colormap = false;
  double sigma = default_detail_sigma;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* option) {
    if (depth_option(arguments, option, choices)) return true;
    if (scale_option(arguments, option, options.scale)) return true;
    if (std::strcmp(option, "--detail") == 0) {
      detail = true;
    } else if (std::strcmp(option, "--sigma") == 0) {
      sigma = parse_sigma(arguments.value());
      sigma_given = true;
    } else if (std::strcmp(option, "--colormap") == 0) {
      colormap = true;
    } else {
      return false;
    }
    return true;
  });
  options.camera = choices.camera;
  options.settings = depth_settings(choices, arguments.threads());
  const bool png = output_format(options.output, {"png", "pfm"}) == 0;
  if (sigma_given && !detail) throw UsageError("--sigma sets the blur of --detail; give --detail");
  if (detail && !(sigma > 0)) throw UsageError("--detail needs a --sigma above 0");
  if (colormap && !png) throw UsageError("--colormap makes a colour picture: the output must be .png");
  if (options.scale.scale_bar && !colormap) {
    throw UsageError("--scale-bar is drawn on the colour picture only (--colormap): the grey "
                     "picture holds the heights");
  }
  check_scale_options(options.scale);
  options.format = !png ? DepthFileFormat::pfm
                        : colormap ? DepthFileFormat::colour_png : DepthFileFormat::png;
  options.settings.detail_sigma = detail ? sigma : 0;
  options.settings.pixels_per_mm = options.scale.pixels_per_mm;
  options.settings.scale_bar = options.scale.scale_bar;
  options.view = std::string("depth --method ") +
                 (choices.method == DepthMethod::rings ? "rings" : "poisson");
  if (choices.method == DepthMethod::poisson) {
    options.view += std::string(" --detrend ") + trend_name(options.settings.trend);
  }
  if (detail) options.view += " --detail --sigma " + shortest_text(static_cast<float>(sigma));
  if (colormap) options.view += " --colormap";
  options.view += scale_view(options.scale);
  return options;
}

MeshOptions parse_mesh_arguments(ArgumentList& arguments) {
  MeshOptions options;
  DepthChoices choices;
  bool step_given = false;
  ScaleOptions scale;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* option) {
    if (depth_option(arguments, option, choices)) return true;
    if (scale_option(arguments, option, scale, false)) return true;
    if (std::strcmp(option, "--step") != 0) return false;
    options.step =
        static_cast<int>(parse_integer(arguments.value(), 1, largest_mesh_step, "--step"));
    step_given = true;
    return true;
  });
  options.camera = choices.camera;
  options.format = static_cast<MeshFormat>(output_format(options.output, {"ply", "obj", "cob"}));
  if (options.format == MeshFormat::cob) {
    if (step_given) throw UsageError("--step does not apply to a .cob mesh (every fourth pixel)");
    if (choices.method_given && choices.method != DepthMethod::rings) {
      throw UsageError("a .cob mesh is made from the rings depth only");
    }
    if (choices.trend_given) throw UsageError("--detrend does not apply to a .cob mesh (rings depth)");
    if (scale.pixels_per_mm > 0) {
      throw UsageError("a .cob mesh keeps the viewer's units: --ppmm and --dpi do not apply");
    }
    choices.method = DepthMethod::rings;
  }
  options.settings = depth_settings(choices, arguments.threads());
  options.settings.pixels_per_mm = scale.pixels_per_mm;
  if (options.format == MeshFormat::obj) {
    const ObjFileNames names = obj_file_names(options.output);
    check_output_is_not_input(options.map.c_str(), names.material.c_str());
    check_output_is_not_input(options.map.c_str(), names.texture.c_str());
  }
  return options;
}

CurvatureOptions parse_curvature_arguments(ArgumentList& arguments) {
  CurvatureOptions options;
  parse_map_arguments(arguments, options.map, options.output, [&](const char* option) {
    if (scale_option(arguments, option, options.scale)) return true;
    if (std::strcmp(option, "--sigma") != 0) return false;
    options.sigma = parse_sigma(arguments.value());
    return true;
  });
  options.pfm = output_format(options.output, {"png", "pfm"}) == 1;
  if (options.pfm && options.scale.scale_bar) {
    throw UsageError("--scale-bar is drawn on a picture: the .pfm holds the numbers");
  }
  check_scale_options(options.scale);
  options.threads = arguments.threads();
  options.view = "curvature --sigma " + shortest_text(static_cast<float>(options.sigma)) +
                 scale_view(options.scale);
  return options;
}

namespace {

bool read_rings_camera(const std::string& map, const std::string& camera_option,
                       CameraParameters& camera) {
  std::string name = camera_option;
  if (name.empty() && !camera_file_name(map, name)) {
    report_file_error(map.c_str(),
                      "the name is too short to name a camera file beside it; give one with "
                      "--camera");
    return false;
  }
  if (read_camera_file(name.c_str(), camera)) return true;
  report_file_error(name.c_str(),
                    camera_option.empty()
                        ? "no usable camera file for the rings depth (the one beside the map; "
                          "name another with --camera)"
                        : "no usable camera file for the rings depth");
  return false;
}

}  // namespace

Ptm* read_relief_input(const std::string& map, DepthMethod method, const std::string& camera_option,
                       CameraParameters& camera) {
  Ptm* ptm = read_map(map.c_str());
  if (ptm == nullptr) return nullptr;
  if (method == DepthMethod::rings && !read_rings_camera(map, camera_option, camera)) {
    free_ptm(ptm);
    return nullptr;
  }
  return ptm;
}
