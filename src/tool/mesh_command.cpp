// relumo-tool mesh: a map's depth as a triangle mesh.
#include <cstdio>

#include "analysis/mesh_export.h"
#include "ptm/ptm.h"
#include "tool/commands.h"
#include "tool/relief_options.h"
#include "tool/tool_io.h"

const char mesh_usage[] =
    "Usage: relumo-tool mesh MAP -o OUT.ply|OUT.obj|OUT.cob [--method poisson|rings]\n"
    "                        [--detrend none|plane|quadric] [--step N]\n"
    "                        [--ppmm N | --dpi N] [--camera CAM]\n"
    "\n"
    "Writes the map's depth (see 'relumo-tool depth --help'; poisson without its\n"
    "plane by default) as triangles over every N-th pixel (default 1): x and y in\n"
    "pixels (y upward), z the height in pixels (rings: the viewer's depth at the\n"
    "scale of the centre pixel); in millimetres with the map's scale (--ppmm,\n"
    "pixels per millimetre, or --dpi). A cell with a corner outside the map's\n"
    "mask is left out.\n"
    "  .ply  binary PLY, each vertex coloured by the map relit at (0, 0)\n"
    "  .obj  Wavefront OBJ with texture coordinates, and beside it OUT.mtl and\n"
    "        OUT.png, the map relit at (0, 0)\n"
    "  .cob  the viewer's Truespace mesh: rings depth, every fourth pixel, the\n"
    "        viewer's units; --step, --method poisson, --detrend and a scale do\n"
    "        not apply (a usage error)\n"
    "  --camera CAM  the camera file of the rings method (default: beside the map)\n";

int run_mesh(ArgumentList& arguments) {
  const MeshOptions options = parse_mesh_arguments(arguments);
  CameraParameters camera{};
  Ptm* ptm = read_relief_input(options.map, options.settings.method, options.camera, camera);
  if (ptm == nullptr) return 1;
  const bool written = run_core_step([&] {
    return write_map_mesh(*ptm, options.format, options.settings, camera, options.step,
                          options.output.c_str());
  });
  free_ptm(ptm);
  if (!written) return 1;
  // Two files the command line did not name appear beside the mesh.
  if (options.format == MeshFormat::obj && core_commentary_shown()) {
    const ObjFileNames names = obj_file_names(options.output);
    std::fprintf(stderr, "Wrote %s with its material %s and texture %s\n", options.output.c_str(),
                 names.material.c_str(), names.texture.c_str());
  }
  return 0;
}
