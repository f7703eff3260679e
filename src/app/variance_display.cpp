#include "app/variance_display.h"

#include <GL/freeglut.h>

#include <cstdio>

#include "analysis/variance.h"
#include "app/core/viewer_state.h"
#include "app/menu.h"
#include "common/end_program.h"

namespace {

// The model and its range from the last switch-on; they stay valid until
// the next one rebuilds them.
VarianceModel variance_model{};
VarianceRange variance_range{};

// The whole loaded map in both cases; "partial" only tells that a region
// selection is waiting to be shown.
void build_model_of_loaded_map() {
  std::printf("computing variance constants");
  std::printf(viewer.selection_visible ? " (partial)" : " (full)");
  std::fflush(stdout);
  if (!build_variance_model(*viewer.current_ptm, variance_model)) end_program(-1);
  std::printf("...done\n");
}

}  // namespace

void toggle_variance_view() {
  if (viewer.variance_on) {
    viewer.variance_on = 0;
  } else {
    viewer.variance_on = 1;
    build_model_of_loaded_map();
    const RgbImage& plot = *viewer.reflectance_image;
    variance_range =
        scan_variance_range(variance_model, plot.width, plot.height, viewer.light_extent);
  }
  set_toggle_label(menu_variance, "Display Image Variance", viewer.variance_on ? 'X' : ' ');
  glutPostWindowRedisplay(viewer.reflectance_window);
  glutPostWindowRedisplay(viewer.main_window);
}

void draw_variance_picture() {
  RgbImage& plot = *viewer.reflectance_image;
  render_variance_picture(plot, variance_model, variance_range, viewer.light_extent);
  glRasterPos2i(0, 0);
  glDrawPixels(plot.width, plot.height, GL_RGB, GL_UNSIGNED_BYTE, plot.pixels);
}
