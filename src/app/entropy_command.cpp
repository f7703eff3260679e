#include "app/entropy_command.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <iterator>

#include "analysis/entropy.h"
#include "app/core/viewer_state.h"
#include "app/menu.h"
#include "app/reflectance_display.h"
#include "app/view_display.h"

namespace {

// What the sweep changes to show each relit picture: the lights, and the
// view's choices that would show something else in its place (a source
// photograph near the light, the region-only redraw of a drag). The
// user's values are kept here and put back afterwards.
struct SweptState {
  float light_u;
  float light_v;
  int current_light;
  float light_u_of[light_count];
  float light_v_of[light_count];
  float light_intensity[light_count];
  int light_enabled[light_count];
  int show_source_image;
  int light_dragging;
};

SweptState save_swept_state() {
  SweptState s{};
  s.light_u = viewer.light_u;
  s.light_v = viewer.light_v;
  s.current_light = viewer.current_light;
  std::copy(std::begin(viewer.light_u_of), std::end(viewer.light_u_of), s.light_u_of);
  std::copy(std::begin(viewer.light_v_of), std::end(viewer.light_v_of), s.light_v_of);
  std::copy(std::begin(viewer.light_intensity), std::end(viewer.light_intensity),
            s.light_intensity);
  std::copy(std::begin(viewer.light_enabled), std::end(viewer.light_enabled), s.light_enabled);
  s.show_source_image = viewer.show_source_image;
  s.light_dragging = viewer.light_dragging;
  return s;
}

void restore_swept_state(const SweptState& s) {
  viewer.light_u = s.light_u;
  viewer.light_v = s.light_v;
  viewer.current_light = s.current_light;
  std::copy(std::begin(s.light_u_of), std::end(s.light_u_of), viewer.light_u_of);
  std::copy(std::begin(s.light_v_of), std::end(s.light_v_of), viewer.light_v_of);
  std::copy(std::begin(s.light_intensity), std::end(s.light_intensity),
            viewer.light_intensity);
  std::copy(std::begin(s.light_enabled), std::end(s.light_enabled), viewer.light_enabled);
  viewer.show_source_image = s.show_source_image;
  viewer.light_dragging = s.light_dragging;
}

// The map lit by the swept light alone, at full intensity: the current
// light (so the panel keeps its caption) is the only one on, and the view
// shows the relit map whatever it showed before. The main window's
// display relights the view into viewer.view_image (the picture the sweep
// measures and writes), redraws the panel and swaps the buffers; then the
// plot beside it marks the light.
void show_light(float u, float v, RgbImage&) {
  std::fill(std::begin(viewer.light_enabled), std::end(viewer.light_enabled), 0);
  viewer.light_enabled[viewer.current_light] = 1;
  viewer.light_intensity[viewer.current_light] = 1.0f;
  viewer.light_u = u;
  viewer.light_v = v;
  viewer.show_source_image = 0;
  viewer.light_dragging = 0;
  display_main_window();
  display_reflectance_window();
}

}  // namespace

void run_entropy_sweep() {
  show_wait_cursor();
  const SweptState user = save_swept_state();
  entropy_sweep(viewer.base_name, *viewer.view_image, show_light);
  restore_swept_state(user);
  restore_cursors();
  glutPostWindowRedisplay(viewer.reflectance_window);
  glutPostWindowRedisplay(viewer.main_window);
}
