// A raking-light sheet: the same surface relit from N directions around
// it at one low elevation, laid out for a condition report. Panel i is
// lit from azimuth 360 i / N (0 from the top of the picture, clockwise) and
// shown 1:1 with its light written below it; panels run in reading order
// in a grid of ceil(sqrt(N)) columns on a white ground.
#pragma once

#include <cstdint>
#include <string>

#include "common/progress.h"
#include "imageio/png_image.h"
#include "ptm/ptm.h"
#include "render/relit_picture.h"
#include "render/text_drawing.h"

struct RakingSheet {
  // The mode and its parameters; width x height is the panel's size (0:
  // the map's), the map resampled once to it.
  RelitSettings view;
  double elevation_degrees = 20;
  int azimuth_count = 8;
  // Map pixels per millimetre; above 0, every panel has a scale bar.
  double pixels_per_mm = 0;
  int threads = 1;  // for the normals the mode needs
  ProgressFn progress;  // panels done out of azimuth_count
};

// Where everything lies on the sheet, in pixels from its top-left corner.
struct SheetLayout {
  int columns;
  int rows;
  int panel_width;
  int panel_height;
  int gap;           // around and between the cells
  int label_height;  // the strip under each panel
  int text_size;
  int width;  // of the whole sheet
  int height;
};

SheetLayout raking_sheet_layout(const RakingSheet& sheet, int map_width, int map_height,
                                TextFont& font);

// The top-left corner of panel `index`.
void sheet_panel_origin(const SheetLayout& layout, int index, int& left, int& top);

// The light of panel `index`.
RelitLight sheet_light(const RakingSheet& sheet, int index);

// "azimuth 45°, elevation 20°": the label under a panel.
std::string raking_label(double azimuth_degrees, double elevation_degrees);

// The largest sheet, 2^31 pixels (6 GiB): eight panels of 4096 x 4096 take
// 151 million.
inline constexpr std::uint64_t max_sheet_pixels = std::uint64_t{1} << 31;

// The sheet as a new picture (free_rgb_image), or null after a message on
// standard error (no font, a sheet above max_sheet_pixels, a resampled map
// that does not fit in memory).
RgbImage* render_raking_sheet(Ptm& map, const RakingSheet& sheet);

// Renders the sheet and writes it as a PNG with `notes`, the whole file or
// nothing; false after a message.
bool write_raking_sheet(Ptm& map, const RakingSheet& sheet, const char* path,
                        const PngNotes& notes);
