#include "app/menu.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <initializer_list>

#include "analysis/normals.h"
#include "app/core/viewer_state.h"
#include "common/end_program.h"

namespace {

// The rewritten label of the last toggle; GLUT copies it into the menu.
char label_buffer[64];

void redisplay_both() {
  glutPostWindowRedisplay(viewer.reflectance_window);
  glutPostWindowRedisplay(viewer.main_window);
}

// The slider windows that exist, in the order the cursors change.
void set_slider_cursors(int cursor) {
  for (int window :
       {viewer.ks_slider_window, viewer.kd_slider_window, viewer.exp_slider_window,
        viewer.gain_slider_window, viewer.scale_slider_window, viewer.light_slider_window}) {
    if (window != 0) {
      glutSetWindow(window);
      glutSetCursor(cursor);
    }
  }
}

}  // namespace

int create_menu() {
  const int menu = glutCreateMenu(on_menu);
  // The initial labels have no blank after "]"; rewritten ones do.
  const char* labels[] = {"[ ]Enable Specular Enhancement",
                          "[ ]Diffuse Gain",
                          "[ ]PTM vs. Texture Mapping",
                          "Display Normal Visualization",
                          "[ ]Display Normal Crosshair",
                          "Output Cropped Ptm File",
                          "Output Normal Vector Image",
                          "[ ]Extrapolating PTM Space",
                          "Output Depth Values",
                          "[ ]Source Image Errors",
                          "Output Source Images as Volume",
                          "[ ]Display Image Variance",
                          "Help",
                          "About",
                          "Quit"};
  for (int id = 1; id <= 15; ++id) glutAddMenuEntry(labels[id - 1], id);
  return menu;
}

void set_toggle_label(int id, const char* name, char mark) {
  std::snprintf(label_buffer, sizeof label_buffer, "[%c] %s", mark, name);
  glutChangeToMenuEntry(id, label_buffer, id);
}

void on_menu(int id) {
  switch (id) {
    case menu_normal_visualization:
      viewer.normal_vis_request_reflectance = 1;
      viewer.normal_vis_request_view = 1;
      redisplay_both();
      return;
    case menu_normal_crosshair:
      if (!normals_valid) compute_normals();
      viewer.normal_crosshair_on = !viewer.normal_crosshair_on;
      set_toggle_label(menu_normal_crosshair, "Display Normal Crosshair",
                       viewer.normal_crosshair_on ? 'X' : ' ');
      glutPostWindowRedisplay(viewer.reflectance_window);
      return;
    case menu_quit:
      end_program(0);
    default:
      // The enhancement modes, the writers and the analysis commands are
      // wired in with the code that carries them out.
      return;
  }
}

void show_wait_cursor() {
  set_slider_cursors(GLUT_CURSOR_WAIT);
  glutSetWindow(viewer.reflectance_window);
  glutSetCursor(GLUT_CURSOR_WAIT);
  glutSetWindow(viewer.main_window);
  glutSetCursor(GLUT_CURSOR_WAIT);
}

void restore_cursors() {
  set_slider_cursors(GLUT_CURSOR_LEFT_RIGHT);
  glutSetWindow(viewer.main_window);
  glutSetCursor(GLUT_CURSOR_LEFT_ARROW);
  glutSetWindow(viewer.reflectance_window);
  glutSetCursor(GLUT_CURSOR_LEFT_ARROW);
}
