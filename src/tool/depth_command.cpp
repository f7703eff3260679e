// relumo-tool depth: a map's normals integrated into a depth map.
#include "analysis/depth_export.h"
#include "ptm/ptm.h"
#include "tool/commands.h"
#include "tool/relief_options.h"
#include "tool/tool_io.h"

const char depth_usage[] =
    "Usage: relumo-tool depth MAP -o OUT.png|OUT.pfm [--method poisson|rings] [--camera CAM]\n"
    "\n"
    "Integrates the map's surface normals into depth.\n"
    "  --method poisson  (default) the whole slope field, orthographic, pixel pitch\n"
    "                    1, by a least-squares (Poisson) solve, Neumann borders;\n"
    "                    heights in pixels, mean 0, nearer is higher. Normals\n"
    "                    nearly edge-on (nz below 0.1) count as nz = 0.1: slopes\n"
    "                    of at most about 10 pixels per pixel\n"
    "  --method rings    the viewer's perspective reconstruction, grown from the\n"
    "                    centre ring by ring and smoothed once\n"
    "  --camera CAM      the camera file of the rings method; by default the map's\n"
    "                    name with its last three characters replaced by \"cam\"\n"
    "                    (maps/a.ptm: maps/a.cam), as the viewer reads it\n"
    "  .png  16-bit grey: 0 farthest .. 65535 nearest over the object\n"
    "  .pfm  one float per pixel, bottom row first: poisson the heights, rings the\n"
    "        viewer's depth, (distance - initial distance) / estimated depth\n"
    "Pixels outside the map's mask have slopes 0 and are 0 in PNG, NaN in PFM.\n";

int run_depth(ArgumentList& arguments) {
  const DepthOptions options = parse_depth_arguments(arguments);
  CameraParameters camera{};
  Ptm* ptm =
      read_relief_input(options.map, options.method, options.camera, camera, arguments.threads());
  if (ptm == nullptr) return 1;
  const bool written =
      write_depth_file(*ptm, options.method, camera, options.format, options.output.c_str(),
                       arguments.threads());
  free_ptm(ptm);
  return written ? 0 : 1;
}
