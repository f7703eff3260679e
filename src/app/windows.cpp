#include "app/windows.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>

#include "app/core/command_line.h"
#include "app/core/current_map.h"
#include "app/core/display_mode.h"
#include "app/core/ptm_transform.h"
#include "app/core/region.h"
#include "app/core/viewer_state.h"
#include "app/input.h"
#include "app/menu.h"
#include "app/reflectance_display.h"
#include "app/sliders.h"
#include "app/view_display.h"

namespace {

constexpr int panel_width = 300;
constexpr int reflectance_inset = 25;

int view_width() { return viewer.view_image->width; }
int view_height() { return viewer.view_image->height; }

void set_drawing_defaults() {
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glShadeModel(GL_FLAT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows of any width are tightly packed
}

}  // namespace

void set_pixel_projection(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, width, 0, height);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

int create_main_window() {
  viewer.main_window = glutCreateWindow(main_window_title(viewer.base_name).c_str());
  return viewer.main_window;
}

bool choose_display_mode() {
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  create_main_window();
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (renderer_wants_double_buffering(renderer)) return true;
  glutDestroyWindow(viewer.main_window);
  glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
  create_main_window();
  return false;
}

void setup_main_projection() {
  set_drawing_defaults();
  viewer.region_x = (view_width() - viewer.region_image->width) / 2;
  viewer.region_y = (view_height() - viewer.region_image->height) / 2;
  set_pixel_projection(view_width() + panel_width, viewer.main_window_height);
}

void setup_reflectance_projection() {
  set_drawing_defaults();
  set_pixel_projection(viewer.reflectance_image->width, viewer.reflectance_image->height);
}

void setup_windows(int argc, char** argv) {
  switch (buffering_option(argc, argv)) {
    case Buffering::double_buffered:
      std::printf("Using double buffered display\n");
      glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
      viewer.double_buffered = 1;
      create_main_window();
      break;
    case Buffering::single_buffered:
      std::printf("Using single buffered display\n");
      glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
      viewer.double_buffered = 0;
      create_main_window();
      break;
    case Buffering::by_renderer:
      viewer.double_buffered = choose_display_mode() ? 1 : 0;
      break;
  }
  setup_main_projection();
  glutDisplayFunc(display_main_window);
  glutMouseFunc(on_view_mouse);
  glutMotionFunc(on_view_motion);
  glutKeyboardFunc(on_key);
  glutSpecialFunc(on_special_key);
  glutReshapeFunc(on_reshape);
  const int menu = create_menu();
  glutAttachMenu(GLUT_RIGHT_BUTTON);

  viewer.reflectance_window =
      glutCreateSubWindow(viewer.main_window, view_width() + reflectance_inset, reflectance_inset,
                          viewer.reflectance_image->width, viewer.reflectance_image->height);
  setup_reflectance_projection();
  glutDisplayFunc(display_reflectance_window);
  glutMouseFunc(on_reflectance_mouse);
  glutMotionFunc(on_reflectance_motion);
  glutKeyboardFunc(on_key);
  glutSpecialFunc(on_special_key);
  glutSetMenu(menu);
  glutAttachMenu(GLUT_RIGHT_BUTTON);

  for (int i = 0; i < light_count; ++i) {
    viewer.light_intensity[i] = 1.0f;
    viewer.light_enabled[i] = 0;
    viewer.light_u_of[i] = 0.0f;
    viewer.light_v_of[i] = 0.0f;
  }
  viewer.light_enabled[0] = 1;
  create_light_slider();
}

void on_reshape(int width, int height) {
  end_normal_pictures();
  viewer.main_window_width = width;
  viewer.main_window_height = height;
  // A window narrower than the panel leaves no room for the view, not a
  // negative one.
  const int view_w = std::max(0, std::min(viewer.current_ptm->width, width - panel_width));
  const int view_h = std::max(0, std::min(viewer.current_ptm->height, height));
  viewer.view_image->width = view_w;
  viewer.view_image->height = view_h;
  viewer.region_image->width = view_w;
  viewer.region_image->height = view_h;
  glutSetWindow(viewer.main_window);
  setup_main_projection();
  glutSetWindow(viewer.reflectance_window);
  glutPositionWindow(view_w + reflectance_inset, reflectance_inset);
  glutReshapeWindow(viewer.reflectance_image->width, viewer.reflectance_image->height);
  setup_reflectance_projection();
  reposition_sliders();
  request_full_clear();
  glutIdleFunc(refit_view);
}

void refit_view() {
  // Where the probe is on the map, before the zoom changes.
  const MapPoint probe_at = probe_map_position();
  if (!viewer.normals_valid) {
    show_wait_cursor();
    compute_normals();
    restore_cursors();
  }
  if (viewer.zoom_pending) {
    viewer.zoom_pending = 0;
    reset_region();
  }
  const Ptm& ptm = *viewer.current_ptm;
  const float rx = static_cast<float>(view_width()) / ptm.width;
  const float ry = static_cast<float>(view_height()) / ptm.height;
  viewer.fit_zoom =
      ptm.width > view_width() || ptm.height > view_height() ? std::min(rx, ry) : 1.0f;
  viewer.zoom_factor = viewer.fit_zoom;
  // An empty view (a window no wider than the panel) has nothing to fit.
  if (viewer.zoom_factor < 0.99f && viewer.zoom_factor > 0.0f) {
    viewer.zoomed = 1;
    viewer.pan_u = 0.5f - 0.5f * rx / viewer.zoom_factor;
    viewer.pan_v = 0.5f - 0.5f * ry / viewer.zoom_factor;
    zoom_ptm();
    zoom_normals();
  } else {
    viewer.zoomed = 0;
    viewer.zoom_factor = 1.0f;
    viewer.pan_u = 0.0f;
    viewer.pan_v = 0.0f;
    // An unzoomed view shows the transform itself, not a zoomed copy of it.
    if (viewer.diffuse_gain_on && !viewer.display_ptm_transformed) ptm_transform();
  }
  // The probe stays on its feature and inside the view, and the plot (whose
  // window the reshape may have moved and cleared) is drawn for it again.
  place_probe(probe_at);
  glutIdleFunc(viewer.autopilot_on ? autopilot_step : nullptr);
  glutPostWindowRedisplay(viewer.main_window);
  glutPostWindowRedisplay(viewer.reflectance_window);
}
