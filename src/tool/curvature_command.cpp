// relumo-tool curvature: the mean curvature of a map's relief.
#include "analysis/curvature_export.h"
#include "ptm/ptm.h"
#include "tool/commands.h"
#include "tool/relief_options.h"
#include "tool/tool_io.h"

const char curvature_usage[] =
    "Usage: relumo-tool curvature MAP -o OUT.png|OUT.pfm [--sigma S] [--ppmm N | --dpi N]\n"
    "                             [--scale-bar]\n"
    "\n"
    "The mean curvature of the relief from the map's normals: half the divergence\n"
    "of (nx / nz, ny / nz), x to the right and y upward, after a Gaussian blur of\n"
    "the slopes of S map pixels (default 1; 0 for none). Positive where the\n"
    "surface is convex (a dome, a ridge), negative where it is concave (an\n"
    "incision); in 1/pixel, or 1/mm with the map's scale (--ppmm, pixels per\n"
    "millimetre, or --dpi).\n"
    "  .png  concave blue through white (0) to convex red, symmetric around 0 up\n"
    "        to the 99th percentile of |curvature|, with a legend; outside the\n"
    "        map's mask black. --scale-bar (with a scale) draws a bar of a round\n"
    "        length\n"
    "  .pfm  one float per pixel, bottom row first; NaN outside the mask\n";

int run_curvature(ArgumentList& arguments) {
  const CurvatureOptions options = parse_curvature_arguments(arguments);
  Ptm* ptm = read_map(options.map.c_str());
  if (ptm == nullptr) return 1;
  CurvatureSettings settings;
  settings.sigma = options.sigma;
  settings.pixels_per_mm = options.scale.pixels_per_mm;
  settings.scale_bar = options.scale.scale_bar;
  settings.threads = options.threads;
  const bool written = write_curvature_file(
      *ptm, settings, options.pfm ? CurvatureFileFormat::pfm : CurvatureFileFormat::png,
      options.output.c_str(), picture_notes(options.map, options.view, options.scale));
  free_ptm(ptm);
  return written ? 0 : 1;
}
