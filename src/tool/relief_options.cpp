#include "tool/relief_options.h"

#include <cstring>
#include <vector>

#include "tool/tool_io.h"

namespace {

// The operands and the options every relief command shares; `own_option`
// takes the others and says whether it did.
template <typename OwnOption>
void parse_relief_arguments(ArgumentList& arguments, std::string& map, std::string& output,
                            OwnOption own_option) {
  std::vector<std::string> operands;
  bool has_output = false;
  while (!arguments.done()) {
    const char* argument = arguments.next();
    if (!arguments.is_option()) {
      operands.emplace_back(argument);
      continue;
    }
    if (arguments.common_option(argument)) continue;
    if (std::strcmp(argument, "-o") == 0) {
      output = arguments.value();
      has_output = true;
    } else if (!own_option(argument)) {
      arguments.unknown_option();
    }
  }
  if (operands.size() != 1) {
    throw UsageError(operands.empty() ? "no map given" : "more than one map given");
  }
  if (!has_output || output.empty()) throw UsageError("no output given (-o OUT)");
  map = operands[0];
  check_output_is_not_input(map.c_str(), output.c_str());
}

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

// --method and --camera, which depth and mesh share; false for any other
// option.
bool depth_option(ArgumentList& arguments, const char* option, DepthMethod& method,
                  bool& method_given, std::string& camera) {
  if (std::strcmp(option, "--method") == 0) {
    method = parse_choice(arguments.value(), {"rings", "poisson"}, "--method") == 0
                 ? DepthMethod::rings
                 : DepthMethod::poisson;
    method_given = true;
    return true;
  }
  if (std::strcmp(option, "--camera") == 0) {
    camera = arguments.value();
    if (camera.empty()) throw UsageError("--camera needs a file name");
    return true;
  }
  return false;
}

}  // namespace

NormalsOptions parse_normals_arguments(ArgumentList& arguments) {
  NormalsOptions options;
  parse_relief_arguments(arguments, options.map, options.output, [](const char*) { return false; });
  options.format =
      static_cast<NormalFileFormat>(output_format(options.output, {"png", "ppm", "pfm"}));
  return options;
}

DepthOptions parse_depth_arguments(ArgumentList& arguments) {
  DepthOptions options;
  bool method_given = false;
  parse_relief_arguments(arguments, options.map, options.output, [&](const char* option) {
    return depth_option(arguments, option, options.method, method_given, options.camera);
  });
  options.format = output_format(options.output, {"png", "pfm"}) == 0 ? DepthFileFormat::png
                                                                      : DepthFileFormat::pfm;
  return options;
}

MeshOptions parse_mesh_arguments(ArgumentList& arguments) {
  MeshOptions options;
  bool step_given = false;
  bool method_given = false;
  parse_relief_arguments(arguments, options.map, options.output, [&](const char* option) {
    if (depth_option(arguments, option, options.method, method_given, options.camera)) return true;
    if (std::strcmp(option, "--step") != 0) return false;
    options.step =
        static_cast<int>(parse_integer(arguments.value(), 1, largest_mesh_step, "--step"));
    step_given = true;
    return true;
  });
  options.format = static_cast<MeshFormat>(output_format(options.output, {"ply", "obj", "cob"}));
  if (options.format == MeshFormat::cob) {
    if (step_given) throw UsageError("--step does not apply to a .cob mesh (every fourth pixel)");
    if (method_given && options.method != DepthMethod::rings) {
      throw UsageError("a .cob mesh is made from the rings depth only");
    }
    options.method = DepthMethod::rings;
  }
  if (options.format == MeshFormat::obj) {
    const ObjFileNames names = obj_file_names(options.output);
    check_output_is_not_input(options.map.c_str(), names.material.c_str());
    check_output_is_not_input(options.map.c_str(), names.texture.c_str());
  }
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
                       CameraParameters& camera, int threads) {
  // Normals, depth and meshes read the stored bytes (and relight them a
  // band of rows at a time): the map takes no more memory than its file.
  Ptm* ptm = read_map(map.c_str(), CoefRepresentation::stored, threads);
  if (ptm == nullptr) return nullptr;
  if (method == DepthMethod::rings && !read_rings_camera(map, camera_option, camera)) {
    free_ptm(ptm);
    return nullptr;
  }
  return ptm;
}
