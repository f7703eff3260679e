// The depth of a map as a triangle mesh for 3-D programs (MeshLab,
// Blender): PLY and Wavefront OBJ of the heights on every step-th pixel,
// and the viewer's Truespace mesh.
//
// A vertex stands at (x, y, z) for pixel (x, y) of the grid x = 0, step,
// 2 step, ... < width and the same in y (x to the right, y upward: row 0 of
// the map at the bottom), z its height (nearer is higher); all three in
// pixels, or in millimetres when the map's scale is known. Each
// grid cell gives the two triangles (lower left, lower right, upper right)
// and (lower left, upper right, upper left), counter-clockwise seen from
// above, unless one of its corners has no height (NaN: outside the mask).
// Only pixels with a height are vertices.
#pragma once

#include <string>

#include "analysis/camera_file.h"
#include "analysis/depth_export.h"
#include "common/rgb_image.h"
#include "ptm/ptm.h"

enum class MeshFormat {
  // Binary little-endian PLY: float x, y, z and the uchar red, green, blue
  // of the map relit at (0, 0) per vertex, then the triangles.
  ply,
  // Wavefront OBJ with a texture coordinate per vertex (the pixel's centre
  // in the picture, 0..1 from the bottom left), a material file naming a
  // PNG of the map relit at (0, 0), both written beside it.
  obj,
  // The viewer's Truespace mesh (cob_mesh.h): its rings depth, every fourth
  // pixel, its texture name; the step does not apply.
  cob,
};

// The companions of an OBJ mesh: its name with the extension (if any)
// replaced by ".mtl" and by ".png".
struct ObjFileNames {
  std::string material;
  std::string texture;
};
ObjFileNames obj_file_names(const std::string& obj_path);

// The length of a map pixel in a mesh's unit: 1 in pixels, 1 / (pixels
// per millimetre) in millimetres.
struct MeshUnit {
  double pixel_length = 1;
  const char* name = "pixels";
};

// Writes the mesh of `heights` (width x height floats in map order, the
// size of `colours`, in `unit`) as PLY, with each vertex coloured by its
// pixel of `colours` (bottom-up). The whole file or nothing; false after a
// message on standard error.
bool write_ply_mesh(const float* heights, const RgbImage& colours, int step, const MeshUnit& unit,
                    const char* path);

// Writes the mesh as OBJ at `path`, its material file and `texture` as its
// PNG picture (obj_file_names). All three files or none: the mesh and the
// material are written in full before the picture, and a file already in
// place is removed again when a later one fails. False after a message.
bool write_obj_mesh(const float* heights, const RgbImage& texture, int step, const MeshUnit& unit,
                    const char* path);

// The mesh of `ptm`'s depth by the settings (camera used by rings; cob is
// always rings and in the viewer's own units), every `step`-th pixel, as
// `format`; in millimetres when the settings give the scale. False after
// a message on standard error.
bool write_map_mesh(const Ptm& ptm, MeshFormat format, const DepthSettings& settings,
                    const CameraParameters& camera, int step, const char* path);
