// relumo-tool normals: the normal field of a map as a picture or as floats.
#include <string>

#include "analysis/normal_export.h"
#include "ptm/ptm.h"
#include "tool/commands.h"
#include "tool/relief_options.h"
#include "tool/tool_io.h"

const char normals_usage[] =
    "Usage: relumo-tool normals MAP -o OUT.png|OUT.ppm|OUT.pfm [--ppmm N | --dpi N]\n"
    "\n"
    "Writes the surface normal of every pixel: the direction of the light that\n"
    "makes the pixel brightest.\n"
    "  .png, .ppm  the normal image as the viewer writes it: red, green, blue =\n"
    "              x, y, z of the normal stored as trunc(127 c), plus 128\n"
    "              (a surface facing the camera is 128, 128, 255); top row first\n"
    "  .pfm        the unit normals before that truncation: three 32-bit\n"
    "              little-endian floats per pixel, bottom row first (PFM's order)\n"
    "x is to the right and y upward in the picture. With the map's scale (pixels\n"
    "per millimetre or per inch) the PNG carries its physical resolution.\n";

int run_normals(ArgumentList& arguments) {
  const NormalsOptions options = parse_normals_arguments(arguments);
  // The normals come from the stored bytes alone.
  Ptm* ptm = read_map(options.map.c_str(), CoefRepresentation::stored, arguments.threads());
  if (ptm == nullptr) return 1;
  const bool written = write_normal_file(
      *ptm, options.format, options.output.c_str(),
      picture_notes(
          options.map,
          "normals" + (options.scale.given.empty() ? std::string() : " " + options.scale.given),
          options.scale),
      arguments.threads());
  free_ptm(ptm);
  return written ? 0 : 1;
}
