// The normal field of a map as a file for other programs: the viewer's
// normal image (PNG or PPM) or the unit normals themselves (PFM).
#pragma once

#include "imageio/png_image.h"
#include "ptm/ptm.h"

enum class NormalFileFormat {
  // The normal image as the viewer writes it: each stored signed byte n as
  // (n + 128) mod 256 in red, green, blue; the top row is the map's last.
  png,
  ppm,  // the viewer's own writer and header
  // The unit normals before their truncation to bytes, three floats per
  // pixel (x, y, z), little-endian, bottom row first as PFM orders rows.
  pfm,
};

// Writes the normal field of `ptm` (computed here when the map holds none;
// the map is not changed) to `path`, the whole file or nothing, a PNG with
// `notes`. Failures are reported on standard error; false then.
bool write_normal_file(const Ptm& ptm, NormalFileFormat format, const char* path,
                       const PngNotes& notes = {});
