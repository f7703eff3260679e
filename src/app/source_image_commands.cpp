#include "app/source_image_commands.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <string>

#include "analysis/light_positions.h"
#include "analysis/source_images.h"
#include "analysis/volume.h"
#include "app/core/viewer_state.h"
#include "app/menu.h"

namespace {

// The photographs listed in the map's light-position file, read once: a
// complete load sets the flag for the rest of the run.
bool load_source_images() {
  if (viewer.source_images_loaded) return true;
  const std::string lp_path = light_position_file_name(viewer.base_name);
  const Ptm& map = *viewer.current_ptm;
  // Decoding a capture of some dozens of photographs takes a moment.
  show_wait_cursor();
  const bool loaded =
      read_source_images(lp_path.c_str(), map.width, map.height, viewer.source_images);
  restore_cursors();
  viewer.source_images_loaded = loaded ? 1 : 0;
  return loaded;
}

}  // namespace

void toggle_source_errors() {
  if (viewer.source_errors_on) {
    viewer.show_source_image = 0;
    viewer.source_errors_on = 0;
  } else if (load_source_images()) {
    viewer.source_errors_on = 1;
    viewer.show_source_image = 1;
  }
  set_toggle_label(menu_source_errors, "Source Image Errors", viewer.source_errors_on ? 'X' : ' ');
  glutPostWindowRedisplay(viewer.reflectance_window);
  glutPostWindowRedisplay(viewer.main_window);
}

void output_source_volume() {
  if (!load_source_images()) return;
  show_wait_cursor();
  write_volume(viewer.source_images, volume_paths(viewer.base_name));
  restore_cursors();
}
