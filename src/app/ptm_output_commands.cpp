#include "app/ptm_output_commands.h"

#include <cstdio>
#include <string>

#include "app/console_commands.h"
#include "app/core/viewer_state.h"
#include "writers/cropped_ptm_writer.h"
#include "writers/palettize.h"

namespace {

// The typed name once went into a buffer of about a hundred characters;
// longer names are refused rather than cut.
constexpr std::size_t longest_output_name = 99;

bool ask_ptm_path(std::string& path) {
  return ask_output_path("PTM filename to output ?\n", longest_output_name, path);
}

void palettize(int mode) {
  const Ptm& ptm = *viewer.current_ptm;
  Palette palette;
  std::string path;
  if (cluster_palette(ptm, mode, viewer.palette_random, palette) && ask_ptm_path(path)) {
    output_paletized_LRGB_ptm(ptm, palette, mode, path.c_str());
  }
  finish_console_command();
}

}  // namespace

void write_cropped_ptm() {
  const Ptm& ptm = *viewer.current_ptm;
  const ViewSelection selection{viewer.sel_x0,       viewer.sel_y0,      viewer.sel_x1,
                                viewer.sel_y1,       viewer.zoomed != 0, viewer.zoom_factor,
                                viewer.pan_u,        viewer.pan_v};
  const PtmRect rect = crop_rectangle(selection, ptm.width, ptm.height);
  std::string path;
  if (ask_ptm_path(path)) write_cropped_ptm_file(ptm, rect, path.c_str());
  finish_console_command();
}

void palettize_ptm() { palettize(palette_mode_luminance); }

void palettize_ptm_color() { palettize(palette_mode_color); }
