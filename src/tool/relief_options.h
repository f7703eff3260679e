// The arguments of relumo-tool's relief commands (normals, depth, mesh),
// parsed into plain records; the output's format comes from its
// extension. Usage errors are thrown as UsageError.
#pragma once

#include <string>

#include "analysis/camera_file.h"
#include "analysis/depth_export.h"
#include "analysis/mesh_export.h"
#include "analysis/normal_export.h"
#include "ptm/ptm.h"
#include "tool/arguments.h"

struct NormalsOptions {
  std::string map;
  std::string output;
  NormalFileFormat format = NormalFileFormat::png;
};

struct DepthOptions {
  std::string map;
  std::string output;
  DepthFileFormat format = DepthFileFormat::png;
  DepthMethod method = DepthMethod::poisson;
  std::string camera;  // empty: the camera file beside the map
};

struct MeshOptions {
  std::string map;
  std::string output;
  MeshFormat format = MeshFormat::ply;
  DepthMethod method = DepthMethod::poisson;  // cob: always rings
  int step = 1;
  std::string camera;
};

// The largest --step: any grid coarser than that has hardly a cell.
inline constexpr int largest_mesh_step = 65536;

NormalsOptions parse_normals_arguments(ArgumentList& arguments);
DepthOptions parse_depth_arguments(ArgumentList& arguments);
// A COB mesh is the viewer's (rings depth, every fourth pixel): --step or
// --method poisson with it is a usage error rather than silently ignored.
MeshOptions parse_mesh_arguments(ArgumentList& arguments);

// The map at `map` in the stored representation, and for the rings method
// its camera: the file named by
// --camera, else the one the viewer reads beside the map
// (camera_file_name). Null after a message naming the file when the map
// cannot be read or the camera file is missing or unusable.
Ptm* read_relief_input(const std::string& map, DepthMethod method, const std::string& camera_option,
                       CameraParameters& camera, int threads = 1);
