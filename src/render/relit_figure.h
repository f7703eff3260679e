// A relit picture as a figure for a report: the render of relit_picture.h
// with, when the scale is known, the physical resolution in the file and a
// scale bar in a corner, and the notes that say how it was made.
#pragma once

#include "imageio/png_image.h"
#include "ptm/ptm.h"
#include "render/relit_picture.h"

struct FigureExtras {
  double pixels_per_mm = 0;  // of the picture (not the map); 0 unknown
  bool scale_bar = false;    // drawn when pixels_per_mm is known
  PngNotes notes;            // written into a PNG; PPM and TGA hold none
};

// Renders `map` by `settings` and writes it as `format` to `path`, the
// whole file or nothing; false after a message on standard error.
bool write_relit_figure(Ptm& map, const RelitSettings& settings, PictureFormat format,
                        const char* path, const FigureExtras& extras);
