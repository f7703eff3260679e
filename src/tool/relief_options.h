// The arguments of relumo-tool's relief commands (normals, depth, mesh,
// curvature), parsed into plain records; the output's format comes from
// its extension. Usage errors are thrown as UsageError.
#pragma once

#include <string>

#include "analysis/camera_file.h"
#include "analysis/depth_export.h"
#include "analysis/mesh_export.h"
#include "analysis/normal_export.h"
#include "ptm/ptm.h"
#include "tool/arguments.h"
#include "tool/picture_options.h"

struct NormalsOptions {
  std::string map;
  std::string output;
  NormalFileFormat format = NormalFileFormat::png;
  ScaleOptions scale;  // the picture's resolution only: no scale bar on data
};

struct DepthOptions {
  std::string map;
  std::string output;
  DepthFileFormat format = DepthFileFormat::png;  // colour_png with --colormap
  DepthSettings settings;  // threads from --threads; the scale from `scale`
  ScaleOptions scale;
  std::string camera;  // empty: the camera file beside the map
  std::string view;    // the options that remake the picture, for its notes
};

struct MeshOptions {
  std::string map;
  std::string output;
  MeshFormat format = MeshFormat::ply;
  DepthSettings settings;  // cob: always rings
  int step = 1;
  std::string camera;
};

struct CurvatureOptions {
  std::string map;
  std::string output;
  bool pfm = false;  // else a PNG picture
  double sigma = 1;
  int threads = 1;
  ScaleOptions scale;
  std::string view;
};

// The largest --sigma of the fine relief and the curvature.
inline constexpr double largest_sigma = 1000;
// The fine relief's blur without --sigma: forms broader than a few tens of
// pixels go, incisions and tool marks a few pixels wide stay.
inline constexpr double default_detail_sigma = 10;

// The largest --step: any grid coarser than that has hardly a cell.
inline constexpr int largest_mesh_step = 65536;

NormalsOptions parse_normals_arguments(ArgumentList& arguments);
// --detrend applies to the Poisson depth, --sigma to --detail, --colormap
// and --scale-bar to a PNG: each elsewhere is a usage error.
DepthOptions parse_depth_arguments(ArgumentList& arguments);
// A COB mesh is the viewer's (rings depth, every fourth pixel): --step,
// --method poisson, --detrend or a scale with it is a usage error rather
// than silently ignored.
MeshOptions parse_mesh_arguments(ArgumentList& arguments);
CurvatureOptions parse_curvature_arguments(ArgumentList& arguments);

// The map at `map`, and for the rings method its camera: the file named by
// --camera, else the one the viewer reads beside the map
// (camera_file_name). Null after a message naming the file when the map
// cannot be read or the camera file is missing or unusable.
Ptm* read_relief_input(const std::string& map, DepthMethod method, const std::string& camera_option,
                       CameraParameters& camera);
