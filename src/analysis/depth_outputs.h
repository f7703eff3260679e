// The depth command's work: from a map with computed normals to the normal
// image, the grey depth image and the Truespace mesh.
#pragma once

#include <string>

#include "ptm/ptm.h"

struct DepthOutputNames {
  const char* normal_image = "normalimage.ppm";
  const char* depth_image = "depthimage.ppm";
  const char* mesh = "tsdepthascii.cob";
  // The image the mesh's material maps onto it.
  const char* texture = "R:\\sample18\\18-001.tga";
};

// Writes the normal image (two-line header), then reads the camera file of
// `map_name` (camera_file_name), reconstructs and smooths the depth map and
// writes the depth image and the mesh; prints "Complete" when all three
// files are written. Without a usable camera file (its name, the file or a
// value; messages on standard error) only the normal image is written; a
// file that cannot be written is reported and the others are still
// written, and then "Complete" is not printed. `ptm.normals` must be
// computed. True when all three files are written.
bool write_depth_outputs(const Ptm& ptm, const std::string& map_name,
                         const DepthOutputNames& names = {});
