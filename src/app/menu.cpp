#include "app/menu.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <initializer_list>

#include "app/console_commands.h"
#include "app/core/current_map.h"
#include "app/core/extrapolation.h"
#include "app/core/ptm_transform.h"
#include "app/core/viewer_state.h"
#include "app/depth_commands.h"
#include "app/ptm_output_commands.h"
#include "app/sliders.h"
#include "app/source_image_commands.h"
#include "app/variance_display.h"
#include "app/view_display.h"
#include "common/end_program.h"

namespace {

// The rewritten label of the last toggle; GLUT copies it into the menu.
char label_buffer[64];

void redisplay_both() {
  glutPostWindowRedisplay(viewer.reflectance_window);
  glutPostWindowRedisplay(viewer.main_window);
}

char mark(int on) { return on ? 'X' : ' '; }

// Specular enhancement, diffuse gain and the texture comparison exclude
// each other: each of these switches one off with its sliders and label.
void switch_specular_off() {
  if (!viewer.specular_on) return;
  viewer.specular_on = 0;
  destroy_specular_sliders();
  set_toggle_label(menu_specular, "Enable Specular Enhancement", ' ');
}

void switch_diffuse_gain_off() {
  if (!viewer.diffuse_gain_on) return;
  viewer.diffuse_gain_on = 0;
  destroy_gain_slider();
  set_toggle_label(menu_diffuse_gain, "Diffuse Gain", ' ');
}

void switch_texture_comparison_off() {
  viewer.ptm_vs_texture_on = 0;
  set_toggle_label(menu_ptm_vs_texture, "PTM vs Texture Mapping", ' ');
}

// The normals the modes need; a zoomed view gets them resampled too.
void compute_normals_waiting() {
  show_wait_cursor();
  compute_normals();
  restore_cursors();
  if (viewer.zoomed) zoom_normals();
}

void toggle_specular() {
  viewer.specular_on = !viewer.specular_on;
  if (viewer.specular_on) {
    create_specular_sliders();
    if (viewer.diffuse_gain_on) {
      switch_diffuse_gain_off();
      // The view showed the transformed map; it goes back to the loaded one.
      if (viewer.zoomed) zoom_ptm();
    }
    switch_texture_comparison_off();
    compute_normals_waiting();
  } else {
    destroy_specular_sliders();
  }
  set_toggle_label(menu_specular, "Enable Specular Enhancement", mark(viewer.specular_on));
  redisplay_both();
}

void toggle_diffuse_gain() {
  viewer.diffuse_gain_on = !viewer.diffuse_gain_on;
  if (viewer.diffuse_gain_on) {
    create_gain_slider();
    if (viewer.specular_on) {
      switch_specular_off();
    } else {
      compute_normals_waiting();
    }
    switch_texture_comparison_off();
    show_wait_cursor();
    ptm_transform();
    restore_cursors();
  } else {
    destroy_gain_slider();
  }
  if (viewer.zoomed) zoom_ptm();
  set_toggle_label(menu_diffuse_gain, "Diffuse Gain", mark(viewer.diffuse_gain_on));
  redisplay_both();
}

void toggle_texture_comparison() {
  viewer.ptm_vs_texture_on = !viewer.ptm_vs_texture_on;
  set_toggle_label(menu_ptm_vs_texture, "PTM vs Texture Mapping", mark(viewer.ptm_vs_texture_on));
  switch_specular_off();
  switch_diffuse_gain_off();
  if (viewer.zoomed) zoom_ptm();
  redisplay_both();
}

void toggle_extrapolation() {
  if (viewer.extrapolation_on) {
    destroy_scale_slider();
    stop_extrapolating();
    viewer.extrapolation_on = 0;
  } else {
    resume_extrapolating();
    create_scale_slider();
    viewer.extrapolation_on = 1;
  }
  set_toggle_label(menu_extrapolation, "Extrapolating PTM Space", mark(viewer.extrapolation_on));
  redisplay_both();
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
  if (id != menu_normal_visualization) end_normal_pictures();
  switch (id) {
    case menu_specular:
      toggle_specular();
      return;
    case menu_diffuse_gain:
      toggle_diffuse_gain();
      return;
    case menu_ptm_vs_texture:
      toggle_texture_comparison();
      return;
    case menu_extrapolation:
      toggle_extrapolation();
      return;
    case menu_cropped_ptm:
      run_console_command(write_cropped_ptm);
      return;
    case menu_help:
      run_console_command(show_help);
      return;
    case menu_about:
      run_console_command(show_about);
      return;
    case menu_normal_visualization:
      viewer.normal_vis_request_reflectance = 1;
      viewer.normal_vis_request_view = 1;
      redisplay_both();
      return;
    case menu_normal_crosshair:
      if (!viewer.normals_valid) compute_normals();
      viewer.normal_crosshair_on = !viewer.normal_crosshair_on;
      set_toggle_label(menu_normal_crosshair, "Display Normal Crosshair",
                       mark(viewer.normal_crosshair_on));
      glutPostWindowRedisplay(viewer.reflectance_window);
      return;
    case menu_normal_image:
      run_console_command(write_normal_image);
      return;
    case menu_depth:
      output_depth();
      return;
    case menu_source_errors:
      toggle_source_errors();
      return;
    case menu_source_volume:
      output_source_volume();
      return;
    case menu_variance:
      toggle_variance_view();
      return;
    case menu_quit:
      end_program(0);
    default:
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
