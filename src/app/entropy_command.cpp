#include "app/entropy_command.h"

#include <GL/freeglut.h>

#include "analysis/entropy.h"
#include "app/core/viewer_state.h"
#include "app/menu.h"
#include "app/reflectance_display.h"
#include "app/view_display.h"

namespace {

// The main window's display relights the view into viewer.view_image (the
// picture the sweep measures and writes), redraws the panel and swaps the
// buffers; then the plot beside it.
void show_light(float u, float v, RgbImage&) {
  viewer.light_u = u;
  viewer.light_v = v;
  display_main_window();
  display_reflectance_window();
}

}  // namespace

void run_entropy_sweep() {
  show_wait_cursor();
  entropy_sweep(viewer.base_name, *viewer.view_image, show_light);
  const float last = entropy_grid_position(entropy_grid_size - 1);
  viewer.light_u = last;
  viewer.light_v = last;
  restore_cursors();
  glutPostWindowRedisplay(viewer.reflectance_window);
  glutPostWindowRedisplay(viewer.main_window);
}
