// relumo-tool depth: a map's normals integrated into a depth map.
#include "analysis/depth_export.h"
#include "ptm/ptm.h"
#include "tool/commands.h"
#include "tool/relief_options.h"
#include "tool/tool_io.h"

const char depth_usage[] =
    "Usage: relumo-tool depth MAP -o OUT.png|OUT.pfm [--method poisson|rings]\n"
    "                         [--detrend none|plane|quadric] [--detail [--sigma S]]\n"
    "                         [--colormap] [--ppmm N | --dpi N] [--scale-bar] [--camera CAM]\n"
    "\n"
    "Integrates the map's surface normals into depth.\n"
    "  --method poisson  (default) the whole slope field, orthographic, pixel pitch\n"
    "                    1, by a least-squares (Poisson) solve, Neumann borders;\n"
    "                    heights in pixels, nearer is higher. Normals nearly\n"
    "                    edge-on (nz below 0.1) count as nz = 0.1: slopes of at\n"
    "                    most about 10 pixels per pixel\n"
    "  --detrend T       poisson: the least-squares plane (default) or quadric of\n"
    "                    the object's heights is taken out, so that a tilted or\n"
    "                    bowed surface shows its relief; none keeps the heights\n"
    "                    as integrated (mean 0 over the map), as before the plane\n"
    "                    became the default\n"
    "  --method rings    the viewer's perspective reconstruction, grown from the\n"
    "                    centre ring by ring and smoothed once; never detrended\n"
    "  --camera CAM      the camera file of the rings method; by default the map's\n"
    "                    name with its last three characters replaced by \"cam\"\n"
    "                    (maps/a.ptm: maps/a.cam), as the viewer reads it\n"
    "  --detail          the fine relief: the depth minus its Gaussian blur of\n"
    "                    --sigma S map pixels (default 10)\n"
    "  --colormap        .png: an 8-bit colour picture of the heights, dark low to\n"
    "                    light high, with a legend of their range\n"
    "  --ppmm N, --dpi N the map's scale (pixels per millimetre or per inch): the\n"
    "                    PNG carries it, poisson heights in the PFM and the legend\n"
    "                    are in millimetres\n"
    "  --scale-bar       with --colormap and a scale: a bar of a round length\n"
    "  .png  16-bit grey: 0 farthest .. 65535 nearest over the object\n"
    "  .pfm  one float per pixel, bottom row first: poisson the heights, rings the\n"
    "        viewer's depth, (distance - initial distance) / estimated depth\n"
    "Pixels outside the map's mask have slopes 0 and are 0 in PNG, NaN in PFM.\n";

int run_depth(ArgumentList& arguments) {
  const DepthOptions options = parse_depth_arguments(arguments);
  CameraParameters camera{};
  Ptm* ptm = read_relief_input(options.map, options.settings.method, options.camera, camera);
  if (ptm == nullptr) return 1;
  const bool written =
      write_depth_file(*ptm, options.settings, camera, options.format, options.output.c_str(),
                       picture_notes(options.map, options.view, options.scale));
  free_ptm(ptm);
  return written ? 0 : 1;
}
