#include "app/input.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/console_commands.h"
#include "app/core/ptm_transform.h"
#include "app/core/region.h"
#include "app/core/viewer_state.h"
#include "app/entropy_command.h"
#include "app/glat/glat.h"
#include "app/menu.h"
#include "app/ptm_output_commands.h"
#include "app/reflectance_display.h"
#include "app/screenshot.h"
#include "app/sliders.h"
#include "app/source_image_display.h"
#include "app/view_display.h"
#include "common/end_program.h"

namespace {

int view_width() { return viewer.view_image->width; }
int view_height() { return viewer.view_image->height; }

// GLUT positions grow downward; the view's grow upward from its bottom row.
int view_y(int y) { return viewer.main_window_height - y - 1; }

bool inside_view(int x, int y) {
  return x >= 0 && x <= view_width() - 1 && y >= 0 && y <= view_height() - 1;
}

void clamp_to_view(int& x, int& y) {
  x = std::max(0, std::min(x, view_width() - 1));
  y = std::max(0, std::min(y, view_height() - 1));
}

void redisplay_both() {
  glutPostWindowRedisplay(viewer.reflectance_window);
  glutPostWindowRedisplay(viewer.main_window);
}

// After a zoom or pan: rebuild the zoomed map and redisplay.
void rebuild_zoom() {
  zoom_ptm();
  zoom_normals();
}

// Before a zoom or pan is rebuilt with diffuse gain on, the transform is
// made afresh from the loaded map; the zoom then resamples it.
void regain() {
  if (!viewer.diffuse_gain_on) return;
  show_wait_cursor();
  ptm_transform();
  restore_cursors();
}

void start_selection(int x, int y) {
  end_normal_pictures();
  viewer.selection_started_outside = inside_view(x, y) ? 0 : 1;
  clamp_to_view(x, y);
  viewer.sel_x0 = viewer.sel_x1 = x;
  viewer.sel_y0 = viewer.sel_y1 = y;
  viewer.selecting = 1;
  viewer.selection_visible = 1;
  print_selection();
  glutPostWindowRedisplay(viewer.main_window);
}

void end_selection(int x, int y) {
  // A drag begun outside the view and released right of it goes on.
  if (!inside_view(x, y) && viewer.selection_started_outside && x > view_width() - 1) return;
  end_normal_pictures();
  clamp_to_view(x, y);
  viewer.sel_x1 = x;
  viewer.sel_y1 = y;
  if (viewer.sel_x0 > viewer.sel_x1) std::swap(viewer.sel_x0, viewer.sel_x1);
  if (viewer.sel_y0 > viewer.sel_y1) std::swap(viewer.sel_y0, viewer.sel_y1);
  compute_pending_zoom(viewer.sel_x0, viewer.sel_y0, viewer.sel_x1, viewer.sel_y1);
  clamp_region();
  print_selection();
  std::printf("\n");
  viewer.selecting = 0;
  viewer.selection_visible = 1;
  glutPostWindowRedisplay(viewer.main_window);
}

void set_probe(int x, int y) {
  end_normal_pictures();
  viewer.probe_x = x;
  viewer.probe_y = y;
  glutPostWindowRedisplay(viewer.reflectance_window);
}

// Keys '1' .. '9': select light n, or switch the current light on and off.
void select_light(int n) {
  if (n == viewer.current_light) {
    viewer.light_enabled[n] = !viewer.light_enabled[n];
    glatSetSlider(viewer.light_slider_window,
                  viewer.light_enabled[n] ? viewer.light_intensity[n] * 0.25 : 0.0);
  } else {
    viewer.light_u_of[viewer.current_light] = viewer.light_u;
    viewer.light_v_of[viewer.current_light] = viewer.light_v;
    viewer.current_light = n;
    viewer.light_enabled[n] = 1;
    viewer.light_u = viewer.light_u_of[n];
    viewer.light_v = viewer.light_v_of[n];
    glatSetSlider(viewer.light_slider_window, viewer.light_intensity[n] * 0.25);
  }
  redisplay_both();
}

void toggle_autopilot() {
  viewer.autopilot_on = !viewer.autopilot_on;
  if (viewer.autopilot_on) {
    glutIdleFunc(autopilot_step);
  } else {
    glutIdleFunc(nullptr);
    glutPostWindowRedisplay(viewer.reflectance_window);
  }
}

}  // namespace

void on_view_mouse(int button, int state, int x, int y) {
  y = view_y(y);
  const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
  const bool selects = button == GLUT_MIDDLE_BUTTON || (button == GLUT_LEFT_BUTTON && shift);
  if (state == GLUT_DOWN) {
    if (button == GLUT_LEFT_BUTTON && glutGetModifiers() == 0) {
      if (inside_view(x, y)) set_probe(x, y);
    } else if (selects && !viewer.selecting) {
      start_selection(x, y);
    }
  } else if ((button == GLUT_LEFT_BUTTON || button == GLUT_MIDDLE_BUTTON) && viewer.selecting) {
    end_selection(x, y);
  }
}

void on_view_motion(int x, int y) {
  y = view_y(y);
  if (viewer.selecting) {
    end_normal_pictures();
    clamp_to_view(x, y);
    viewer.sel_x1 = x;
    viewer.sel_y1 = y;
    print_selection();
    viewer.selection_visible = 1;
    glutPostWindowRedisplay(viewer.main_window);
  } else if (inside_view(x, y)) {
    set_probe(x, y);
  }
}

void on_reflectance_mouse(int button, int state, int x, int y) {
  if (!reflectance_position_to_light(x, y, viewer.light_extent, viewer.light_u, viewer.light_v)) {
    if (state == GLUT_UP) {
      viewer.light_dragging = 0;
      glutPostWindowRedisplay(viewer.main_window);
    }
    return;
  }
  end_normal_pictures();  // the light moved
  glutSetWindow(viewer.main_window);
  if (state == GLUT_DOWN) {
    // No modifier at all: Ctrl or Alt with the left button is not a drag
    // of the light that clears the view.
    if (button == GLUT_LEFT_BUTTON && glutGetModifiers() == 0) {
      // Only the region is redrawn while dragging; the rest of the view is
      // cleared once the drag moves.
      if (viewer.region_image->width < view_width() ||
          viewer.region_image->height < view_height()) {
        viewer.clear_outside_pending = 1;
      }
    }
    const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
    if ((button == GLUT_MIDDLE_BUTTON || (button == GLUT_LEFT_BUTTON && shift)) &&
        viewer.show_source_image) {
      glance_at_relit_map();
    }
    return;
  }
  if (button == GLUT_LEFT_BUTTON || button == GLUT_MIDDLE_BUTTON) {
    if (viewer.show_source_image) relight_behind_photograph();
    viewer.light_dragging = 0;
    if (button == GLUT_LEFT_BUTTON) viewer.clear_outside_pending = 0;
    glutPostWindowRedisplay(viewer.main_window);
  }
}

void on_reflectance_motion(int x, int y) {
  end_normal_pictures();
  reflectance_position_to_light(x, y, viewer.light_extent, viewer.light_u, viewer.light_v);
  if (viewer.clear_outside_pending) {
    glutSetWindow(viewer.main_window);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, view_width(), view_height());
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    viewer.clear_outside_pending = 0;
  }
  viewer.light_dragging = 1;
  glutPostWindowRedisplay(viewer.main_window);
}

void on_key(unsigned char key, int, int) {
  end_normal_pictures();
  switch (key) {
    case 27:
      end_program(0);
    case 'a':
    case 'A':
      toggle_autopilot();
      return;
    case 's':
      if (viewer.show_source_image) {
        viewer.show_source_image = 0;
      } else if (viewer.source_errors_on) {
        viewer.show_source_image = 1;
      }
      glutPostWindowRedisplay(viewer.main_window);
      return;
    case 'd':
      if (discard_color(*viewer.current_ptm, viewer.discarded_constant_term)) {
        viewer.color_discarded = 1;
        // A diffuse-gain view is the transform of the map as it now is.
        regain();
        if (viewer.zoomed) rebuild_zoom();
        redisplay_both();
      }
      return;
    case 'e':
    case 'E':
      run_entropy_sweep();
      return;
    case '+': {
      const bool rebuild = zoom_in();
      regain();
      if (rebuild) rebuild_zoom();
      glutPostWindowRedisplay(viewer.main_window);
      return;
    }
    case '-': {
      const bool rebuild = zoom_out();
      regain();
      if (rebuild) rebuild_zoom();
      glutPostWindowRedisplay(viewer.main_window);
      return;
    }
    case 'p':
    case 'P':
      run_console_command(palettize_ptm);
      return;
    case 'c':
    case 'C':
      run_console_command(palettize_ptm_color);
      return;
    case 't':
      show_wait_cursor();
      take_screenshot();
      restore_cursors();
      return;
    default:
      if (key >= '1' && key <= '9') select_light(key - '1');
      return;
  }
}

void on_special_key(int key, int, int) {
  end_normal_pictures();
  PanDirection direction;
  switch (key) {
    case GLUT_KEY_LEFT:
      direction = PanDirection::left;
      break;
    case GLUT_KEY_RIGHT:
      direction = PanDirection::right;
      break;
    case GLUT_KEY_UP:
      direction = PanDirection::up;
      break;
    case GLUT_KEY_DOWN:
      direction = PanDirection::down;
      break;
    case GLUT_KEY_F1:
      run_console_command(show_help);
      return;
    default:
      return;
  }
  if (pan_view(direction)) {
    regain();
    rebuild_zoom();
    glutPostWindowRedisplay(viewer.main_window);
  }
}

void autopilot_step() {
  end_normal_pictures();
  float angle =
      viewer.autopilot_started == 0 || viewer.autopilot_frame == 1 ? 0.0f : viewer.autopilot_angle;
  viewer.autopilot_started = 1;
  angle += 0.157075f;
  if (angle > 6.283f) angle -= 6.283f;
  viewer.autopilot_angle = angle;
  // An ellipse over the full width and half the height of the light square,
  // 40 steps a turn.
  viewer.light_u = std::cos(angle);
  viewer.light_v = 0.5f * std::sin(angle);
  if (viewer.double_buffered) {
    glutSetWindow(viewer.main_window);
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_panel_labels();
  }
  composite_lights();
  glutSetWindow(viewer.main_window);
  glutSwapBuffers();
  display_reflectance_window();
  ++viewer.autopilot_frame;
}
