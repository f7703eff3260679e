#include "app/reflectance_display.h"

#include <GL/freeglut.h>

#include "app/core/current_map.h"
#include "app/core/viewer_state.h"
#include "app/menu.h"
#include "app/source_image_display.h"
#include "app/variance_display.h"
#include "render/reflectance_plot.h"

namespace {

// A cross of two line strips of half-length `arm` around (x, y).
void draw_cross(PlotPoint centre, int arm) {
  glBegin(GL_LINE_STRIP);
  glVertex2i(centre.x - arm, centre.y);
  glVertex2i(centre.x + arm, centre.y);
  glEnd();
  glBegin(GL_LINE_STRIP);
  glVertex2i(centre.x, centre.y - arm);
  glVertex2i(centre.x, centre.y + arm);
  glEnd();
}

const std::int8_t* normal_at(const Ptm& ptm, int x, int y) {
  return ptm.normals + (static_cast<std::size_t>(y) * ptm.width + x) * 3;
}

void draw_plot() {
  glRasterPos2i(0, 0);
  const RgbImage& plot = *viewer.reflectance_image;
  glDrawPixels(plot.width, plot.height, GL_RGB, GL_UNSIGNED_BYTE, plot.pixels);
}

// Where the light is while the autopilot moves it.
void draw_light_marker() {
  glColor3f(0, 0, 1);
  draw_cross(plot_position(viewer.light_u, viewer.light_v, viewer.light_extent), 5);
}

// The probe pixel's normal direction.
void draw_normal_crosshair(int px, int py) {
  const Ptm& loaded = *viewer.current_ptm;
  if (px < 0 || py < 0 || px >= loaded.width || py >= loaded.height) return;
  const std::int8_t* n = normal_at(*normals_ptm(), px, py);
  glColor3f(1, 0, 0);
  draw_cross(normal_plot_position(n[0], n[1], viewer.light_extent), 10);
}

// Every visible pixel's normal as a coloured dot at its direction.
void draw_normal_scatter() {
  compute_normals();
  RgbImage& plot = *viewer.reflectance_image;
  render_reflectance_function(plot, *displayed_ptm(), viewer_render_mode(), viewer.probe_x,
                              viewer.probe_y);
  const Ptm& ptm = *normals_ptm();
  for (int y = 0; y < viewer.view_image->height; ++y) {
    for (int x = 0; x < viewer.view_image->width; ++x) {
      const std::int8_t* n = normal_at(ptm, x, y);
      const PlotPoint at = normal_plot_position(n[0], n[1], viewer.light_extent);
      std::uint8_t* dot = plot.pixels + (static_cast<std::size_t>(at.y) * plot.width + at.x) * 3;
      for (int c = 0; c < 3; ++c) dot[c] = static_cast<std::uint8_t>(n[c] + 128);
    }
  }
  draw_plot();
}

}  // namespace

void display_reflectance_window() {
  glutSetWindow(viewer.reflectance_window);
  render_reflectance_function(*viewer.reflectance_image, *displayed_ptm(), viewer_render_mode(),
                              viewer.probe_x, viewer.probe_y);
  draw_plot();
  if (viewer.source_errors_on) draw_source_samples();
  if (viewer.normal_crosshair_on) {
    if (!viewer.normals_valid) {
      show_wait_cursor();
      compute_normals();
      restore_cursors();
      glutSetWindow(viewer.reflectance_window);
    }
    draw_normal_crosshair(viewer.probe_x, viewer.probe_y);
  }
  if (viewer.autopilot_on) draw_light_marker();
  // Shown until the user changes something (end_normal_pictures).
  if (viewer.normal_vis_request_reflectance) draw_normal_scatter();
  // The variance picture covers the plot and its overlays.
  if (viewer.variance_on) draw_variance_picture();
  glFlush();
  glutSetWindow(viewer.reflectance_window);
  glutSwapBuffers();
}
